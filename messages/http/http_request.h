#pragma once

#include "http/exchange_record.h"

#include <QString>

#include <functional>
#include <memory>

// An HTTP request object as the post uses it: prepared by Open, given headers,
// sent once with a body, then read for its state and answer. Every member
// reports a failure by throwing PostFailure.
class HttpRequest {
public:
    // readyState once the answer is complete.
    static constexpr int Done = 4;

    virtual ~HttpRequest() = default;

    virtual void Open(const QString &method, const QString &url, bool async) = 0;
    // Setting a header that is already set appends the value, after ", ".
    virtual void SetRequestHeader(const QString &name, const QString &value) = 0;
    // Sends the request with the body and, for a request opened synchronously,
    // returns only when the exchange is over.
    virtual void send(const QString &body) = 0;
    virtual int readyState() const = 0;
    virtual QString ResponseText() const = 0;
    // What went on the wire and came back, as far as the exchange got; a
    // request object that keeps no record gives an empty one.
    virtual ExchangeRecord record() const { return {}; }
};

// Makes a new request object; a test may hand in its own.
using HttpRequestFactory = std::function<std::unique_ptr<HttpRequest>()>;

// The real request object, over the network.
std::unique_ptr<HttpRequest> createHttpRequest();
