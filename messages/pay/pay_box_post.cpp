#include "pay/pay_box_post.h"

#include "http/post_failure.h"
#include "pay/pay_post.h"

#include <QJsonDocument>
#include <QJsonObject>

PaySample paySampleForResource(const QByteArray &resourceJson)
{
    const QJsonObject resource = QJsonDocument::fromJson(resourceJson).object();
    QString name = QStringLiteral("transaction.success");
    if (resource.contains(QStringLiteral("refund_status"))) {
        const QString status = resource.value(QStringLiteral("refund_status")).toString();
        name = status == QStringLiteral("ABNORMAL") ? QStringLiteral("refund.abnormal")
             : status == QStringLiteral("CLOSED")   ? QStringLiteral("refund.closed")
                                                    : QStringLiteral("refund.success");
    }
    return findPaySample(name).value_or(paySamples().first());
}

PushPostOutcome postPayResource(const PushPostOrder &order, const PayPlatformKey &key,
                                const HttpRequestFactory &createRequest)
{
    PushPostOutcome outcome;
    const QByteArray resource = order.body.toUtf8();
    try {
        const PayNotification notification = makePayNotificationFromText(
            paySampleForResource(resource), resource, order.access.apiV3Key.toUtf8(), QDateTime::currentDateTime());
        PayPostOutcome posted = postPayNotification(order.url, notification, key, createRequest);
        outcome.record = std::move(posted.record);
        outcome.verdict = std::move(posted.verdict);
        outcome.shownText = outcome.record.answerText;
    } catch (const PostFailure &failure) {
        outcome.record.method = QStringLiteral("POST");
        outcome.record.url = order.url;
        noteFailure(outcome.record, failure);
        outcome.verdict = {{VerdictLine::Fail, failure.description()}};
    }
    return outcome;
}
