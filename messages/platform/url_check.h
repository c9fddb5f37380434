#pragma once

#include "platform/access_settings.h"
#include "http/exchange_record.h"
#include "http/http_request.h"

#include <QString>

#include <optional>

// How an endpoint answered the platform's check of its URL.
struct UrlCheckResult {
    ExchangeRecord record;
    QString echostr; // the one sent
    QString expectedAnswer; // what the endpoint must answer: the echostr, or WeCom's decrypted
    bool passed = false;
    QString explanation; // in Chinese, for a message box
};

// Sends the family's URL check. The official account's and mini-program's: a
// GET with signature, timestamp, nonce and a random echostr; it passes when
// the first answer is 200 (the platform follows no redirect) and its body is
// the echostr byte for byte. WeCom's: msg_signature, timestamp, nonce and an
// echostr encrypted for the CorpID; it passes when the answer is the
// decrypted echostr, exactly, within 1 s. The third-party platform and
// payments have no check: nothing is sent, and the explanation says so.
// Needs a token (WeCom also the key); without one nothing is sent.
UrlCheckResult checkUrl(const QString &url, const AccessSettings &access,
                        const HttpRequestFactory &createRequest = createHttpRequest);

// Why the family has no URL check (the third-party platform, payments), in
// Chinese; none when it has one.
std::optional<QString> urlCheckAbsence(Platform platform);

// How WeCom judges the answer to its check, once the status is 200: the
// decrypted echostr byte for byte, within 1 s. A failure names what stands
// out: quotes, a BOM, a line break, the echostr still encrypted.
struct EchoJudgement {
    bool passed = false;
    QString explanation; // in Chinese
};
EchoJudgement judgeWeComEcho(const QByteArray &answer, const QByteArray &plainEchostr, const QByteArray &sentEchostr,
                             double elapsedMs);
