#include "exchange_json.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::Literals::StringLiterals;

namespace {

// Each body or text in the line is cut at 1 MB (UTF-16 units for text).
constexpr qsizetype kBodyCap = qsizetype(1) << 20;

QJsonValue optionalText(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// A body in the line: its text and bytes cut at kBodyCap each, with its whole
// size in bytes and whether it was cut, so that a huge answer makes no huge line.
void putBody(QJsonObject &object, const QString &text, const QByteArray &bytes)
{
    const bool cut = bytes.size() > kBodyCap || text.size() > kBodyCap;
    object[u"body"_s] = text.left(kBodyCap);
    object[u"bodyBase64"_s] = QString::fromLatin1(bytes.first(std::min(bytes.size(), kBodyCap)).toBase64());
    object[u"bodySize"_s] = qint64(bytes.size());
    object[u"bodyCut"_s] = cut;
}

// Another text of the answer (decrypted, shown), cut the same way.
void putText(QJsonObject &object, const QString &name, const std::optional<QString> &text)
{
    object[name] = text ? QJsonValue(text->left(kBodyCap)) : QJsonValue(QJsonValue::Null);
    object[name + u"Cut"_s] = text && text->size() > kBodyCap;
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
    QJsonObject request{
        {u"method"_s, record.method},
        {u"url"_s, record.url},
        {u"head"_s, QString::fromUtf8(first->requestHead)},
        {u"plainMessage"_s, optionalText(record.plainMessage)},
    };
    putBody(request, QString::fromUtf8(first->requestBody), first->requestBody);
    return request;
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
    QJsonObject answer{
        {u"status"_s, qint64(last->status)},
        {u"head"_s, QString::fromUtf8(last->answerHead)},
        {u"contentType"_s, record.contentType ? QJsonValue(QString::fromUtf8(*record.contentType)) : QJsonValue()},
        {u"decoding"_s, record.decodingUsed},
        {u"checks"_s, checks},
        {u"problem"_s, optionalText(outcome.answerProblem)},
    };
    putBody(answer, record.answerText, last->answerBody);
    putText(answer, u"decryptedText"_s, record.decryptedText);
    putText(answer, u"shownText"_s, outcome.shownText);
    return answer;
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
