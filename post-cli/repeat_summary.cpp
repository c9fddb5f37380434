#include "repeat_summary.h"

#include "http/post_failure.h"

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

ExchangeTally tallyOf(const PushPostOutcome &outcome)
{
    ExchangeTally tally;
    tally.failure = outcome.record.failure;
    tally.cancelled = outcome.record.cancelled;
    tally.elapsedMs = outcome.record.elapsedMs;
    for (const VerdictLine &line : outcome.verdict) {
        if (line.outcome == VerdictLine::Fail)
            tally.failedLines << line;
    }
    return tally;
}

void RepeatSummary::add(const ExchangeTally &tally)
{
    ++count_;
    if (tally.failure || tally.cancelled) {
        if (tally.cancelled)
            ++cancelled_;
        // A cancelled exchange carries the Cancelled failure; one without a note still counts.
        const ExchangeFailureNote note = tally.failure.value_or(ExchangeFailureNote{PostFailure::Cancelled, u"已取消"_s});
        auto it = failures_.find(note.number);
        if (it == failures_.end())
            failures_.insert(note.number, {1, note.description});
        else
            ++it->first;
        return;
    }
    latenciesMs_ << tally.elapsedMs;
    if (tally.elapsedMs > kPlatformWaitMs)
        ++slow_;
    if (!tally.failedLines.isEmpty()) {
        if (verdictsFailed_ == 0)
            firstFailedLines_ = tally.failedLines;
        ++verdictsFailed_;
    }
}

std::optional<LatencyFigures> RepeatSummary::latency() const
{
    if (latenciesMs_.isEmpty())
        return std::nullopt;
    QList<double> sorted = latenciesMs_;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank: the smallest value that at least p percent of the values do not exceed.
    const auto rank = [&](double percent) {
        const qsizetype n = sorted.size();
        const qsizetype index = qsizetype(std::ceil(percent / 100.0 * double(n))) - 1;
        return sorted[std::clamp<qsizetype>(index, 0, n - 1)];
    };
    return LatencyFigures{sorted.constFirst(), rank(50), rank(95), rank(99), sorted.constLast()};
}

QString RepeatSummary::text(int requested, int concurrency) const
{
    QString out = u"发送 %1 次（并发 %2）：完成 %3 次，发送失败 %4 次"_s.arg(count_).arg(concurrency).arg(completed()).arg(failed());
    if (count_ < requested)
        out += u"，另有 %1 次未发出（已中断）"_s.arg(requested - count_);
    out += u'\n';
    for (auto it = failures_.cbegin(); it != failures_.cend(); ++it)
        out += u"  错误 %1 × %2：%3\n"_s.arg(it.key()).arg(it->first).arg(it->second);
    if (const std::optional<LatencyFigures> figures = latency()) {
        const auto ms = [](double value) { return QString::number(value, 'f', 1); };
        out += u"用时（毫秒）：最短 %1，中位 %2，P95 %3，P99 %4，最长 %5\n"_s.arg(ms(figures->minimum), ms(figures->median),
                                                                         ms(figures->p95), ms(figures->p99),
                                                                         ms(figures->maximum));
    }
    out += u"超过 5 秒：%1 次\n"_s.arg(slow_);
    out += u"判定未通过：%1 次\n"_s.arg(verdictsFailed_);
    if (wallSeconds_ > 0)
        out += u"总用时 %1 秒，每秒 %2 次\n"_s.arg(QString::number(wallSeconds_, 'f', 2),
                                              QString::number(count_ / wallSeconds_, 'f', 1));
    return out;
}
