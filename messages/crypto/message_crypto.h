#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// The 32-byte AES key an EncodingAESKey stands for: 43 characters that, with
// "=" appended, decode from base64 to 32 bytes. Anything else: none.
std::optional<QByteArray> decodeAesKey(const QString &encodingAesKey);

// The platform's Encrypt text: base64 of AES-256-CBC (IV = the key's first 16
// bytes) over random16, the message's length in 4 bytes big-endian, the
// message and the AppID, padded PKCS#7 to a multiple of 32 bytes. Empty when
// the key is not 32 bytes or random16 not 16.
QString encryptMessage(const QByteArray &key, const QByteArray &random16, const QByteArray &message,
                       const QByteArray &appId);

struct DecryptedMessage {
    QByteArray message;
    QByteArray appId; // whatever followed the message
};

// Which check of an Encrypt text failed.
enum class DecryptFailure {
    BadBase64,        // not strict base64
    BadLength,        // empty, or not whole AES blocks
    BadPadding,       // the pad is not 1..32 equal bytes: the wrong key, or altered
    LengthOutOfRange, // the length field points past the end
};

// In Chinese, for a check's detail.
QString describeDecryptFailure(DecryptFailure failure);

// Undoes encryptMessage. A key not of 32 bytes fails as BadPadding would.
std::variant<DecryptedMessage, DecryptFailure> decryptMessage(const QByteArray &key, const QString &encrypt);
