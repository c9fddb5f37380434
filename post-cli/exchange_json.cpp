#include "exchange_json.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::Literals::StringLiterals;

namespace {

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue milliseconds(double value)
{
    return value < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

QString outcomeName(VerdictLine::Outcome outcome)
{
    switch (outcome) {
    case VerdictLine::Pass:
        return u"pass"_s;
    case VerdictLine::Warn:
        return u"warn"_s;
    case VerdictLine::Fail:
        return u"fail"_s;
    }
    return {};
}

QJsonValue requestJson(const ExchangeRecord &record)
{
    const ExchangeHop *first = record.hops.isEmpty() ? nullptr : &record.hops.constFirst();
    if (!first)
        return QJsonValue::Null;
    return QJsonObject{
        {u"method"_s, record.method},
        {u"url"_s, record.url},
        {u"head"_s, QString::fromUtf8(first->requestHead)},
        {u"body"_s, QString::fromUtf8(first->requestBody)},
        {u"bodyBase64"_s, QString::fromLatin1(first->requestBody.toBase64())},
        {u"plainMessage"_s, optionalText(record.plainMessage)},
    };
}

QJsonValue answerJson(const PushPostOutcome &outcome)
{
    const ExchangeRecord &record = outcome.record;
    const ExchangeHop *last = record.finalHop();
    if (!last || last->status == 0)
        return QJsonValue::Null;
    QJsonArray checks;
    for (const AnswerCheck &check : record.answerChecks)
        checks.append(QJsonObject{{u"what"_s, check.what}, {u"passed"_s, check.passed}, {u"detail"_s, check.detail}});
    return QJsonObject{
        {u"status"_s, qint64(last->status)},
        {u"head"_s, QString::fromUtf8(last->answerHead)},
        {u"body"_s, record.answerText},
        {u"bodyBase64"_s, QString::fromLatin1(last->answerBody.toBase64())},
        {u"contentType"_s, record.contentType ? QJsonValue(QString::fromUtf8(*record.contentType)) : QJsonValue()},
        {u"decoding"_s, record.decodingUsed},
        {u"checks"_s, checks},
        {u"decryptedText"_s, optionalText(record.decryptedText)},
        {u"shownText"_s, outcome.shownText},
        {u"problem"_s, optionalText(outcome.answerProblem)},
    };
}

} // namespace

QJsonObject exchangeJson(const PushPostOutcome &outcome, const QString &endpoint, int index)
{
    const ExchangeRecord &record = outcome.record;

    QJsonArray redirects;
    for (qsizetype i = 0; i + 1 < record.hops.size(); ++i) {
        const ExchangeHop &hop = record.hops[i];
        redirects.append(QJsonObject{{u"requestHead"_s, QString::fromUtf8(hop.requestHead)},
                                     {u"status"_s, qint64(hop.status)},
                                     {u"answerHead"_s, QString::fromUtf8(hop.answerHead)}});
    }

    const ExchangeHop *last = record.finalHop();
    const QJsonObject timings{
        {u"connectedMs"_s, milliseconds(last ? last->connectedMs : -1)},
        {u"firstByteMs"_s, milliseconds(last ? last->firstByteMs : -1)},
        {u"wholeMs"_s, milliseconds(last ? last->wholeMs : -1)},
        {u"elapsedMs"_s, milliseconds(record.elapsedMs)},
    };

    QJsonArray verdict;
    bool passed = !record.failure && !record.cancelled;
    for (const VerdictLine &line : outcome.verdict) {
        verdict.append(QJsonObject{{u"outcome"_s, outcomeName(line.outcome)}, {u"text"_s, line.text}});
        passed = passed && line.outcome != VerdictLine::Fail;
    }

    QJsonValue failure = QJsonValue::Null;
    if (record.failure)
        failure = QJsonObject{{u"number"_s, record.failure->number}, {u"description"_s, record.failure->description}};

    return QJsonObject{
        {u"index"_s, index},
        {u"endpoint"_s, endpoint},
        {u"started"_s, record.started.isValid() ? QJsonValue(record.started.toString(Qt::ISODateWithMs)) : QJsonValue()},
        {u"request"_s, requestJson(record)},
        {u"answer"_s, answerJson(outcome)},
        {u"redirects"_s, redirects},
        {u"timings"_s, timings},
        {u"verdict"_s, verdict},
        {u"passed"_s, passed},
        {u"failure"_s, failure},
        {u"cancelled"_s, record.cancelled},
    };
}

QByteArray jsonLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
