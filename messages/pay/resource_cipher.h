#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// AEAD_AES_256_GCM as the payment platform seals a notification's resource:
// the merchant's 32-byte APIv3 key, a 12-byte nonce, the associated data;
// the ciphertext travels as base64 of the encrypted bytes and the 16-byte tag.

inline constexpr int kApiV3KeySize = 32;

// Throws PostFailure (Crypto) when libcrypto fails or the key is not 32 bytes.
QByteArray sealResource(QByteArrayView key, QByteArrayView nonce, QByteArrayView associatedData,
                        QByteArrayView plaintext);

// The plaintext, or nothing when the base64 is bad, the key is not 32 bytes
// or the tag does not match: a wrong key must never yield bytes to read on.
std::optional<QByteArray> openResource(QByteArrayView key, QByteArrayView nonce, QByteArrayView associatedData,
                                       QByteArrayView ciphertextBase64);
