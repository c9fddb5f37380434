#pragma once

#include "platform/access_settings.h"
#include "http/exchange_record.h"
#include "http/http_request.h"

#include <QString>

// How an endpoint answered the platform's check of its URL.
struct UrlCheckResult {
    ExchangeRecord record;
    QString echostr; // the one sent
    bool passed = false;
    QString explanation; // in Chinese, for a message box
};

// Sends the platform's URL check: a GET with signature, timestamp, nonce and
// a random echostr. It passes when the first answer is 200 (the platform
// follows no redirect) and its body is the echostr byte for byte. Needs a
// token; without one nothing is sent.
UrlCheckResult checkUrl(const QString &url, const AccessSettings &access,
                        const HttpRequestFactory &createRequest = createHttpRequest);
