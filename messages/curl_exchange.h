#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>
#include <utility>

// One HTTP exchange, one request and its answer, on a connection of its own
// that is closed when the exchange is over. Redirects are not followed here.
struct ExchangeRequest {
    QByteArray method;
    QByteArray url; // fully encoded
    QList<std::pair<QByteArray, QByteArray>> headers;
    std::optional<QByteArray> body;
};

struct ExchangeSettings {
    // The exchange is given up when it makes no progress for this long.
    std::chrono::milliseconds stallTimeout{30'000};
    // PEM certificates trusted instead of the system's authorities; empty: the system's.
    QByteArray trustedCertificates;
};

struct ExchangeResult {
    int curlCode = 0; // 0: the answer came whole
    int osError = 0;
    QString message;  // the HTTP library's own words for a failure
    bool stalled = false;
    long status = 0;
    std::optional<QByteArray> contentType;
    std::optional<QByteArray> location;
    QByteArray body;
};

// Runs the exchange to its end. While it waits, the application's events are
// handled except user input, so the windows repaint but take no clicks.
ExchangeResult runExchange(const ExchangeRequest &request, const ExchangeSettings &settings);
