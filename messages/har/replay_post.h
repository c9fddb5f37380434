#pragma once

#include "har/har_import.h"
#include "http/exchange_record.h"
#include "http/http_request.h"
#include "platform/access_settings.h"
#include "platform/push_post.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

struct KeptExchange;

// 原样重发: the recorded URL and body byte for byte, the old signature too,
// which shows how the endpoint treats a replayed request.
// 重新签名后发送: the same push with a fresh timestamp, nonce and signature
// under the current access settings, and encrypted afresh where they encrypt.
enum class ReplayMode { AsRecorded, Resigned };

// A request as it was recorded, ready to be sent again.
struct ReplaySource {
    QString url;                         // as sent, signature parameters included
    QByteArray body;                     // the body's bytes as sent
    std::optional<QString> plainMessage; // the push before encryption, where the record kept it
    QDateTime recorded;                  // when it was first sent; invalid: unknown
    std::optional<QString> problem;      // in Chinese: why it cannot be sent again (a body kept only in part)
    // A payment notification's Wechatpay-* headers as they went; a replay sends them again.
    QList<std::pair<QString, QString>> payHeaders;
};

ReplaySource replaySourceOf(const HarPostEntry &entry);
// The exchange's first request; a kept entry whose body was cut to its start cannot be replayed.
ReplaySource replaySourceOf(const ExchangeRecord &record);
ReplaySource replaySourceOf(const KeptExchange &entry);

// The URL a replay goes to when the user gives one: the given scheme, host,
// port and path, with the recorded query (signature parameters and all)
// unless the given URL has a query of its own. An empty given URL: the recorded one.
QString replayUrl(const QString &recorded, const QString &given);

// The recorded URL without the parameters signing adds (signature,
// timestamp, nonce, openid, encrypt_type, msg_signature); others stay as typed.
QString withoutSigningParameters(const QString &url);

// The push a replay would post, and how: for 原样重发 the recorded bytes as
// they are; for 重新签名后发送 the push before encryption (the recorded
// Encrypt decrypted with the current key where the body has one), to be
// signed and encrypted by postPush. Or why it cannot go, in Chinese. A
// failure of libcrypto while decrypting leaves as PostFailure.
struct ReplayPlan {
    PushPostOrder order;
    std::optional<QString> plainMessage; // for the verdict of a 原样重发 of an encrypted push
};
std::variant<ReplayPlan, QString> planReplay(const ReplaySource &source, ReplayMode mode,
                                             const AccessSettings &access, const QString &givenUrl = {});

// A payment notification (one recorded with Wechatpay-* headers, or any on
// 微信支付) goes as the payment platform sends it: the body as recorded, as
// JSON, with the recorded headers for 原样重发 and headers signed afresh
// with the platform's key for 重新签名后发送, judged as a notification.
// Any other replay goes through the shared post path: the record, the answer
// opened with the current access settings, and the verdict come out as for
// any post. A replay that cannot go has its problem as the record's failure
// (BadAccessSettings). Never throws; no event loop.
PushPostOutcome replayPost(const ReplaySource &source, ReplayMode mode, const AccessSettings &access,
                           const QString &givenUrl = {}, const HttpRequestFactory &createRequest = createHttpRequest);
