#include "platform/storm_figures.h"

#include <QMap>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double kAlarmWindowSeconds = 300; // the platform counts per 5 minutes
constexpr int kAlarmThreshold = 30;         // its default threshold, 30 in 5 minutes

double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least that share at or below it.
    const qsizetype rank = qsizetype(std::ceil(fraction * double(values.size())));
    return values[std::clamp<qsizetype>(rank - 1, 0, values.size() - 1)];
}

bool isLate(const StormPost &post)
{
    return post.end == TryEnd::TimedOut;
}

bool isFailed(const StormPost &post)
{
    return post.end == TryEnd::ErrorStatus || post.end == TryEnd::Unusable || post.end == TryEnd::ConnectionFailed;
}

// The most posts meeting `counts` due within any 5 minutes, and where that window starts.
std::pair<int, double> worstWindow(const QList<StormPost> &posts, const std::function<bool(const StormPost &)> &counts)
{
    QList<double> times;
    for (const StormPost &post : posts) {
        if (counts(post))
            times.append(post.dueSeconds);
    }
    std::sort(times.begin(), times.end());
    std::pair<int, double> worst{0, 0};
    qsizetype first = 0;
    for (qsizetype last = 0; last < times.size(); ++last) {
        while (times[last] - times[first] >= kAlarmWindowSeconds)
            ++first;
        if (int(last - first + 1) > worst.first)
            worst = {int(last - first + 1), times[first]};
    }
    return worst;
}

QString ms(double value)
{
    return value < 0 ? u"—"_s : QString::number(qRound64(value));
}

} // namespace

QList<StormSecond> stormSeconds(const QList<StormPost> &posts)
{
    QMap<int, StormSecond> seconds;
    QMap<int, QList<double>> answers;
    for (const StormPost &post : posts) {
        const int second = int(std::floor(post.dueSeconds));
        StormSecond &figures = seconds[second];
        figures.second = second;
        ++figures.posts;
        figures.late += isLate(post);
        figures.failed += isFailed(post);
        if (post.answerMs >= 0 && !isLate(post)) {
            ++figures.answered;
            answers[second].append(post.answerMs);
        }
    }
    QList<StormSecond> list;
    for (auto it = seconds.begin(); it != seconds.end(); ++it) {
        it->p50Ms = percentile(answers.value(it.key()), 0.50);
        it->p95Ms = percentile(answers.value(it.key()), 0.95);
        list.append(*it);
    }
    return list;
}

QList<StormAlarm> stormAlarms(const QList<StormPost> &posts)
{
    const QList<std::pair<QString, std::function<bool(const StormPost &)>>> rules{
        {u"请求超时（5 秒内没有答复）"_s, isLate},
        {u"回应失败（错误状态或平台无法接受的答复）"_s,
         [](const StormPost &post) { return post.end == TryEnd::ErrorStatus || post.end == TryEnd::Unusable; }},
        {u"连接失败"_s, [](const StormPost &post) { return post.end == TryEnd::ConnectionFailed; }},
    };
    QList<StormAlarm> alarms;
    for (const auto &[rule, counts] : rules) {
        const auto [count, start] = worstWindow(posts, counts);
        alarms.append({rule, count, start, count >= kAlarmThreshold});
    }
    return alarms;
}

QString stormReport(const QList<StormPost> &posts, int requested, double rate)
{
    QString text = u"按每秒 %1 次发送 %2 次（开环：不等前一次的答复），完成 %3 次\n"_s.arg(rate).arg(requested).arg(posts.size());
    text += u"秒\t次数\t超时\t失败\tP50 毫秒\tP95 毫秒\n"_s;
    int late = 0;
    double worstLag = 0;
    for (const StormPost &post : posts) {
        late += isLate(post);
        worstLag = std::max(worstLag, post.startLagMs);
    }
    for (const StormSecond &second : stormSeconds(posts))
        text += u"%1\t%2\t%3\t%4\t%5\t%6\n"_s.arg(second.second).arg(second.posts).arg(second.late).arg(second.failed)
                    .arg(ms(second.p50Ms), ms(second.p95Ms));
    text += u"超过 5 秒：%1 次；发送最多比计划晚 %2 毫秒\n"_s.arg(late).arg(qRound64(worstLag));
    bool anyRaised = false;
    for (const StormAlarm &alarm : stormAlarms(posts)) {
        anyRaised = anyRaised || alarm.raised;
        text += alarm.raised
            ? u"平台会报警：%1，5 分钟内 %2 次（从第 %3 秒起），达到阈值 %4 次\n"_s.arg(alarm.rule).arg(alarm.worstCount)
                  .arg(qRound64(alarm.worstWindowStart)).arg(kAlarmThreshold)
            : u"不报警：%1，5 分钟内至多 %2 次，阈值 %3 次\n"_s.arg(alarm.rule).arg(alarm.worstCount).arg(kAlarmThreshold);
    }
    if (anyRaised)
        text += u"失败这样多时，平台还可能暂时屏蔽接收端（MarkFail），一分钟内不再推送任何消息\n"_s;
    return text;
}
