#pragma once

#include "http/curl_exchange.h"
#include "http/post_failure.h"

#include <QUrl>

#include <chrono>
#include <exception>
#include <optional>

// What went wrong with an exchange, in the program's words, or nothing when
// its answer came whole. The HTTP status plays no part: a 404 or a 500 with
// its body is a complete answer.
std::optional<PostFailure> exchangeFailure(const ExchangeResult &result, const QUrl &url,
                                           const ExchangeSettings &settings);

// Whatever was thrown while an exchange was carried out, as a PostFailure.
PostFailure postFailureOf(std::exception_ptr thrown, const QUrl &url);

// Whether a scheme, in lower case, is one the program posts to: http or https.
bool isHttpScheme(QStringView scheme);

// Why a redirect from one address to another, `location` as the answer gave
// it, is not followed, or nothing.
std::optional<PostFailure> redirectRefused(const QUrl &from, const QUrl &to, const QString &location,
                                           int redirectsSoFar, int maxRedirects);
