#pragma once

#include "platform/access_settings.h"
#include "pay/platform_key.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// One kind of notification the payment platform sends.
struct PaySample {
    QString name;         // as typed: transaction.success
    QString eventType;    // TRANSACTION.SUCCESS
    QString originalType; // transaction or refund: also the associated data
    QString summary;      // 支付成功
};

const QList<PaySample> &paySamples();
QStringList paySampleNames();
std::optional<PaySample> findPaySample(const QString &name);

// The sample's resource as the platform would send it now: fresh
// out_trade_no, transaction_id (and refund numbers) and the current time.
QJsonObject paySampleResource(const PaySample &sample, const AccessSettings &access, const QDateTime &now);

// Applies one "path=value" (amount.total=1, out_trade_no=A123) to the
// resource. The value keeps the type of the field it replaces; a new field
// is JSON where it reads as JSON, else text. Returns what is wrong, in Chinese.
std::optional<QString> setResourceField(QJsonObject &resource, const QString &assignment);

// RFC 3339 in China's time, as create_time and success_time are written.
QString payTime(const QDateTime &time);

enum class PayNotificationKind {
    Normal,
    SignatureProbe, // signed wrongly, the signature starting WECHATPAY/SIGNTEST/
    WrongKeyProbe,  // signed rightly, the resource sealed under another APIv3 key
};

// What stays the same across a notification's retries: its id and body.
struct PayNotification {
    PaySample sample;
    QString id;
    QByteArray resourceJson; // the resource before it is sealed
    QByteArray body;         // the JSON that goes on the wire
    PayNotificationKind kind = PayNotificationKind::Normal;
};

// The notification with a fresh id and resource nonce, its resource sealed
// under the key (another, random one for the wrong-key probe). Throws
// PostFailure (Crypto) when libcrypto fails.
PayNotification makePayNotification(const PaySample &sample, const QJsonObject &resource, QByteArrayView apiV3Key,
                                    const QDateTime &now, PayNotificationKind kind = PayNotificationKind::Normal);
// The same with the resource as the user typed it (the window's box), sealed byte for byte.
PayNotification makePayNotificationFromText(const PaySample &sample, const QByteArray &resourceJson, QByteArrayView apiV3Key,
                                    const QDateTime &now, PayNotificationKind kind = PayNotificationKind::Normal);

// What is wrong with an APIv3 key, in Chinese; nothing: it can be used.
// Every front end checks the key with this one rule.
std::optional<QString> apiV3KeyProblem(const QString &key);

// The Wechatpay-* header fields, in the order they are sent.
using PayHeaders = QList<std::pair<QString, QString>>;

inline constexpr char kPayProbeSignaturePrefix[] = "WECHATPAY/SIGNTEST/";

// What is signed: "timestamp\nnonce\nbody\n".
QByteArray paySigningText(const QByteArray &timestamp, const QByteArray &nonce, const QByteArray &body);

// Headers for one sending of the notification: the timestamp and nonce
// given, signed with the platform's key (or, for the signature probe, a
// signature that is wrong). Throws PostFailure (Crypto).
PayHeaders signPayNotification(const PayNotification &notification, const PayPlatformKey &key, qint64 timestamp,
                               const QByteArray &nonce);

// As above with the current time and a fresh nonce: each retry gets its own.
PayHeaders freshPayHeaders(const PayNotification &notification, const PayPlatformKey &key);
