#include "platform_signature.h"

#include "network_module_loader.h"

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

    QByteArray digest;
    if (!requireNetworkModule().sha1Digest(joined, digest))
        qFatal("SHA-1 is not available from libcrypto");
    return QString::fromLatin1(digest.toHex());
}

bool signaturesEqual(const QString &expected, const QString &given)
{
    return requireNetworkModule().equalInConstantTime(expected.toUtf8(), given.toUtf8());
}
