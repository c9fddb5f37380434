#include "label1_text.h"

#include <QFontMetrics>

namespace {

// A verdict line names what it checked before its first colon or bracket;
// the rest (expected and found values) is for the exchange window.
QString headOf(const QString &line)
{
    qsizetype end = line.size();
    for (QChar stop : {u':', u'：', u'(', u'（', u',', u'，', u';', u'；'}) {
        const qsizetype at = line.indexOf(stop);
        if (at > 0 && at < end)
            end = at;
    }
    return line.left(end).trimmed();
}

} // namespace

QString waitingText(int secondsWaited)
{
    return QStringLiteral("正在发送……已等 %1 秒，按 Esc 取消").arg(secondsWaited);
}

QString verdictText(const PushPostOutcome &outcome, const QFontMetrics &metrics, int width)
{
    const ExchangeRecord &record = outcome.record;
    if (record.cancelled)
        return QStringLiteral("已取消发送，没有判定");
    const VerdictLine *first = nullptr;
    for (const VerdictLine &line : outcome.verdict) {
        if (line.outcome == VerdictLine::Fail) {
            first = &line;
            break;
        }
        if (line.outcome == VerdictLine::Warn && !first)
            first = &line;
    }
    if (!first)
        return QStringLiteral("平台判定：通过，%1 毫秒").arg(qRound64(qMax(0.0, record.elapsedMs)));

    const QString before = first->outcome == VerdictLine::Fail ? QStringLiteral("平台判定：不通过——")
                                                               : QStringLiteral("平台判定：通过，但要留意——");
    const QString after = QStringLiteral("，右键查看交互记录");
    const int room = width - metrics.horizontalAdvance(before + after);
    return before + metrics.elidedText(headOf(first->text), Qt::ElideRight, qMax(0, room)) + after;
}
