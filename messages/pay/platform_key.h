#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The payment platform Veltrane plays signs with a key of its own: RSA-2048
// and a self-signed certificate, made on first use and kept in one file
// readable by the owner only. Never a real platform's key.
struct PayPlatformKey {
    QByteArray privateKeyPem;
    QByteArray certificatePem;
    QString serial; // the certificate's serial number, upper-case hex, as Wechatpay-Serial carries it
};

// Where the window and veltrane-post keep it: beside the saved access settings.
QString payPlatformKeyFile();

// The key kept in that file, made and stored first when there is none.
// Throws PostFailure (Crypto) when it can be neither read nor made. Any
// thread may call it; callers at once share the one key made.
PayPlatformKey payPlatformKey(const QString &file);

// Base64 of SHA256withRSA (PKCS #1 v1.5) over the message; throws PostFailure (Crypto).
QByteArray signWithPlatformKey(const PayPlatformKey &key, QByteArrayView message);

// Whether the base64 signature of the message verifies with the
// certificate's public key; false for a certificate that does not read.
bool verifyWithCertificate(QByteArrayView certificatePem, QByteArrayView message, QByteArrayView signatureBase64);

// The PEM certificate's serial number, upper-case hex; nothing if it does not read.
std::optional<QString> certificateSerial(QByteArrayView certificatePem);
