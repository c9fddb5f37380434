#pragma once

#include "http/curl_exchange.h"
#include "http/http_request.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <optional>
#include <utility>

// The request object over the network. Each exchange runs on a connection of
// its own that is closed when it is over, so no connection, cookie or cached
// answer survives a post. A redirect is an answer like any other, as the
// platform takes it; where the settings ask for it, redirects are followed as
// browsers follow them: at most 20, only to http and https, never from https
// to http. The exchange
// runs on a worker thread; send waits for it through the settings' waiter.
class NetworkHttpRequest : public HttpRequest {
public:
    explicit NetworkHttpRequest(ExchangeSettings settings = {});
    // An exchange that makes no progress for the stall time-out fails.
    explicit NetworkHttpRequest(std::chrono::milliseconds stallTimeout);

    void Open(const QString &method, const QString &url, bool async) override;
    void SetRequestHeader(const QString &name, const QString &value) override;
    void send(const QString &body) override;
    int readyState() const override;
    QString ResponseText() const override;
    ExchangeRecord record() const override;

private:
    enum State { Unsent = 0, Opened = 1, Done = HttpRequest::Done };

    ExchangeSettings settings_;
    State state_ = Unsent;
    bool sent_ = false;
    QByteArray method_;
    QUrl url_;
    QByteArray wireUrl_; // as it goes out
    QList<std::pair<QByteArray, QByteArray>> headers_;
    QString responseText_;
    ExchangeRecord record_;

    // The exchange and its redirects, on the worker; throws PostFailure.
    void carryOut(ExchangeRequest request, ExchangeCancel &cancel);
};
