#pragma once

#include "http_request.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>

// The request object over Qt Network. Each send runs on a network access
// manager of its own that dies with the exchange, so no connection, cookie
// or cached answer survives it. A synchronous send waits in a local event
// loop that lets the windows repaint but takes no user input.
class NetworkHttpRequest : public HttpRequest {
public:
    // An exchange that makes no progress for the stall time-out fails.
    explicit NetworkHttpRequest(std::chrono::milliseconds stallTimeout = std::chrono::seconds(30));

    void Open(const QString &method, const QString &url, bool async) override;
    void SetRequestHeader(const QString &name, const QString &value) override;
    void send(const QString &body) override;
    int readyState() const override;
    QString ResponseText() const override;

private:
    enum State { Unsent = 0, Opened = 1, Done = HttpRequest::Done };

    std::chrono::milliseconds stallTimeout_;
    State state_ = Unsent;
    bool sent_ = false;
    QByteArray method_;
    QUrl url_;
    QList<std::pair<QByteArray, QByteArray>> headers_;
    QByteArray responseBody_;
    std::optional<QByteArray> responseContentType_;
};
