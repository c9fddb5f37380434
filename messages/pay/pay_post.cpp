#include "pay/pay_post.h"

#include "http/post_failure.h"
#include "pay/pay_verdict.h"

#include <QScopeGuard>

namespace {

// The exchange as far as it got: the record of a request that failed before
// it went names at least the method and URL.
ExchangeRecord sendPayBody(const QString &url, const QByteArray &body, const PayHeaders &headers,
                           const HttpRequestFactory &createRequest)
{
    ExchangeRecord record;
    try {
        const std::unique_ptr<HttpRequest> request = createRequest();
        const auto keepRecord = qScopeGuard([&] { record = request->record(); });
        request->Open(QStringLiteral("POST"), url, false);
        request->SetRequestHeader(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
        request->SetRequestHeader(QStringLiteral("Accept"), QStringLiteral("*/*"));
        for (const auto &[name, value] : headers)
            request->SetRequestHeader(name, value);
        request->send(QString::fromUtf8(body));
    } catch (const PostFailure &failure) {
        if (record.method.isEmpty()) {
            record.method = QStringLiteral("POST");
            record.url = url;
        }
        if (!record.failure || record.failure->number != failure.number())
            noteFailure(record, failure);
    }
    return record;
}

} // namespace

PayPostOutcome postPayNotification(const QString &url, const PayNotification &notification, const PayPlatformKey &key,
                                   const HttpRequestFactory &createRequest)
{
    PayPostOutcome outcome;
    try {
        outcome.headers = freshPayHeaders(notification, key);
        outcome.record = sendPayBody(url, notification.body, outcome.headers, createRequest);
    } catch (const PostFailure &failure) { // signing failed: nothing sent
        outcome.record.method = QStringLiteral("POST");
        outcome.record.url = url;
        noteFailure(outcome.record, failure);
    }
    outcome.record.plainMessage = QString::fromUtf8(notification.resourceJson);
    outcome.verdict = judgePayAnswer(outcome.record, notification.kind);
    return outcome;
}

PayPostOutcome postPayBody(const QString &url, const QByteArray &body, const PayHeaders &headers,
                           const HttpRequestFactory &createRequest)
{
    PayPostOutcome outcome;
    outcome.headers = headers;
    outcome.record = sendPayBody(url, body, headers, createRequest);
    outcome.verdict = judgePayAnswer(outcome.record, PayNotificationKind::Normal);
    return outcome;
}
