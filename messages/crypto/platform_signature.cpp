#include "crypto/platform_signature.h"

#include "crypto/crypto_primitives.h"

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

    return QString::fromLatin1(sha1Digest(joined).toHex());
}

bool signaturesEqual(const QString &expected, const QString &given)
{
    return equalInConstantTime(expected.toUtf8(), given.toUtf8());
}
