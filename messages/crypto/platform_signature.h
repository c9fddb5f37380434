#pragma once

#include <QString>
#include <QStringList>

// The platform's signature: the lowercase hex SHA-1 of the parts sorted as
// strings (byte-wise, over their UTF-8) and joined. For a request: token,
// timestamp and nonce; for an encrypted message also its Encrypt text.
// Like the rest of the signing and encryption, it throws PostFailure when
// libcrypto fails.
QString platformSignature(QStringList parts);

// Compares in constant time, so an endpoint's timing says nothing of the token.
bool signaturesEqual(const QString &expected, const QString &given);
