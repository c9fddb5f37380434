#include "platform_signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <QByteArrayList>

#include <algorithm>

QString platformSignature(QStringList parts)
{
    QByteArrayList bytes;
    bytes.reserve(parts.size());
    for (const QString &part : std::as_const(parts))
        bytes.append(part.toUtf8());
    // QByteArray orders bytes as unsigned, as the SDKs' string sorts do on UTF-8.
    std::sort(bytes.begin(), bytes.end());
    const QByteArray joined = bytes.join();

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(joined.constData(), size_t(joined.size()), digest, &size, EVP_sha1(), nullptr) != 1)
        qFatal("SHA-1 is not available from libcrypto");
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex());
}

bool signaturesEqual(const QString &expected, const QString &given)
{
    const QByteArray a = expected.toUtf8();
    const QByteArray b = given.toUtf8();
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}
