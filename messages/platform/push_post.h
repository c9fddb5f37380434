#pragma once

#include "platform/access_settings.h"
#include "http/exchange_record.h"
#include "http/http_request.h"
#include "platform/verdict.h"

#include <QString>

#include <optional>

// One push as a front end posts it: the endpoint and the message typed, and
// the access settings that sign and encrypt it.
struct PushPostOrder {
    QString url;
    QString body;
    AccessSettings access;
    // false: the URL and body go exactly as given, already signed (原样重发);
    // the access settings still open the answer and judge it.
    bool signs = true;
};

// Everything a front end shows after the post.
struct PushPostOutcome {
    ExchangeRecord record;                // failure included: record.failure
    QString shownText;                    // the answer's text, decrypted where it was encrypted
    std::optional<QString> answerProblem; // which check of an encrypted answer failed, in Chinese
    QList<VerdictLine> verdict;
};

// Signs and encrypts as the access settings say (with no token: the URL and
// body exactly as typed), posts through XmlPost's steps, opens an encrypted
// answer and judges it. Never throws: a failed exchange is in the record.
PushPostOutcome postPush(const PushPostOrder &order, const HttpRequestFactory &createRequest = createHttpRequest);
