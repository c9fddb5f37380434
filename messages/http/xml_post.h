#pragma once

#include "http/http_request.h"

#include <QString>

// Posts the body to the endpoint URL, waits for the whole answer and returns
// its text, or the empty string when the answer is not complete. Whatever the
// HTTP status. A failure of the exchange leaves as PostFailure. Given a
// record, it is filled with the exchange, failed or not.
QString XmlPost(const QString &url, const QString &body,
                const HttpRequestFactory &createRequest = createHttpRequest, ExchangeRecord *record = nullptr);
