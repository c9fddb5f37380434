#pragma once

#include "post_failure.h"

#include <QList>
#include <QSslError>

#include <chrono>
#include <optional>

class QNetworkReply;

// What went wrong with a finished exchange, in the program's words, or nothing
// when it completed. An answer that came whole counts as complete whatever its
// HTTP status: a 404 or a 500 with its body is no failure.
std::optional<PostFailure> exchangeFailure(const QNetworkReply &reply, const QList<QSslError> &sslErrors,
                                           std::chrono::milliseconds stallTimeout);
