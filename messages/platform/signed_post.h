#pragma once

#include "platform/access_settings.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What makes one signed post unlike the next.
struct SigningInputs {
    QString timestamp;   // seconds since the epoch, 10 digits
    QString nonce;       // decimal digits
    QByteArray random16; // leads the encrypted message
};

// Now's timestamp, and a nonce and random bytes from libcrypto.
SigningInputs freshSigningInputs();

// A post as it goes out.
struct SignedPost {
    QString url;
    QString body;
    std::optional<QString> plainMessage; // compatible and safe modes: the message before encryption
    std::optional<QString> problem;      // in Chinese: why it cannot go out (an EncodingAESKey that does not decode)
};

// Signs and, in compatible and safe modes, encrypts the post. With no token
// the URL and body come back exactly as given.
SignedPost signPost(const QString &url, const QString &body, const AccessSettings &access, const SigningInputs &inputs);
