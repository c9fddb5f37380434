#include "pay/pay_post.h"

#include "http/post_failure.h"
#include "pay/pay_verdict.h"

#include <QScopeGuard>

PayPostOutcome postPayNotification(const QString &url, const PayNotification &notification, const PayPlatformKey &key,
                                   const HttpRequestFactory &createRequest)
{
    PayPostOutcome outcome;
    ExchangeRecord &record = outcome.record;
    try {
        outcome.headers = freshPayHeaders(notification, key);
        const std::unique_ptr<HttpRequest> request = createRequest();
        const auto keepRecord = qScopeGuard([&] { record = request->record(); });
        request->Open(QStringLiteral("POST"), url, false);
        request->SetRequestHeader(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
        request->SetRequestHeader(QStringLiteral("Accept"), QStringLiteral("*/*"));
        for (const auto &[name, value] : std::as_const(outcome.headers))
            request->SetRequestHeader(name, value);
        request->send(QString::fromUtf8(notification.body));
    } catch (const PostFailure &failure) {
        if (record.method.isEmpty()) {
            record.method = QStringLiteral("POST");
            record.url = url;
        }
        if (!record.failure || record.failure->number != failure.number())
            noteFailure(record, failure);
    }
    record.plainMessage = QString::fromUtf8(notification.resourceJson);
    outcome.verdict = judgePayAnswer(record, notification.kind);
    return outcome;
}
