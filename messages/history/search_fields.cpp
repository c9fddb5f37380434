#include "history/search_fields.h"

#include <QRegularExpression>

namespace {

QString statusOf(const ExchangeRecord &record)
{
    if (record.cancelled)
        return QStringLiteral("已取消");
    if (record.failure)
        return QStringLiteral("失败：") + record.failure->description;
    return record.status() == 0 ? QString() : QString::number(record.status());
}

QString verdictOf(const QList<VerdictLine> &lines)
{
    if (lines.isEmpty())
        return {};
    VerdictLine::Outcome worst = VerdictLine::Pass;
    QStringList texts;
    for (const VerdictLine &line : lines) {
        worst = std::max(worst, line.outcome);
        texts.append(line.text);
    }
    const QString word = worst == VerdictLine::Fail   ? QStringLiteral("不通过")
                         : worst == VerdictLine::Warn ? QStringLiteral("注意")
                                                      : QStringLiteral("通过");
    return word + QLatin1Char('\n') + texts.join(QLatin1Char('\n'));
}

// The push's MsgType, in XML (CDATA or not) or JSON.
QString msgTypeOf(const QString &push)
{
    static const QRegularExpression xml(QStringLiteral(R"(<MsgType>\s*(?:<!\[CDATA\[)?\s*([^<\]\s]*))"));
    static const QRegularExpression json(QStringLiteral(R"re("MsgType"\s*:\s*"([^"]*)")re"));
    for (const QRegularExpression *pattern : {&xml, &json}) {
        const QRegularExpressionMatch match = pattern->match(push);
        if (match.hasMatch())
            return match.captured(1);
    }
    return {};
}

} // namespace

SearchFields searchFieldsOf(const KeptExchange &entry)
{
    const ExchangeRecord &record = entry.record;
    SearchFields fields;
    fields.url = record.url;
    fields.status = statusOf(record);
    fields.verdict = verdictOf(entry.verdict);
    QStringList bodies;
    if (!record.hops.isEmpty())
        bodies.append(QString::fromUtf8(record.hops.constFirst().requestBody.first(
            std::min(record.hops.constFirst().requestBody.size(), kKeptBodyBytes))));
    if (record.plainMessage)
        bodies.append(record.plainMessage->left(kKeptBodyBytes));
    // An encrypted push names its MsgType only before encryption.
    fields.msgType = msgTypeOf(bodies.join(QLatin1Char('\n')));
    if (const ExchangeHop *last = record.finalHop())
        bodies.append(QString::fromUtf8(last->answerBody.first(std::min(last->answerBody.size(), kKeptBodyBytes))));
    if (record.decryptedText)
        bodies.append(record.decryptedText->left(kKeptBodyBytes));
    fields.bodies = bodies.join(QLatin1Char('\n'));
    return fields;
}

bool matchesSearch(const SearchFields &fields, const QString &needle)
{
    if (needle.isEmpty())
        return true;
    for (const QString *field : {&fields.url, &fields.status, &fields.verdict, &fields.msgType, &fields.bodies}) {
        if (field->contains(needle, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
