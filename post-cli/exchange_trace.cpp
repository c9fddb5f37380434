#include "exchange_trace.h"

namespace {

void appendHead(QByteArray &out, const QByteArray &head, const char *mark)
{
    for (const QByteArray &line : head.split('\n')) {
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        if (!trimmed.isEmpty())
            out += mark + trimmed + '\n';
    }
}

} // namespace

QByteArray exchangeTrace(const PushPostOutcome &outcome)
{
    QByteArray out;
    for (const ExchangeHop &hop : outcome.record.hops) {
        appendHead(out, hop.requestHead, "> ");
        if (!hop.requestBody.isEmpty()) {
            out += hop.requestBody;
            if (!hop.requestBody.endsWith('\n'))
                out += '\n';
        }
        appendHead(out, hop.answerHead, "< ");
    }
    for (const VerdictLine &line : outcome.verdict) {
        const char *mark = line.outcome == VerdictLine::Pass ? "* 通过 " : line.outcome == VerdictLine::Warn ? "* 提醒 " : "* 未通过 ";
        out += mark + line.text.toUtf8() + '\n';
    }
    return out;
}
