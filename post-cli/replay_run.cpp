#include "replay_run.h"

#include "exchange_json.h"
#include "exchange_trace.h"
#include "har_output.h"
#include "har/replay_post.h"
#include "repeat_summary.h"

using namespace Qt::Literals::StringLiterals;

QString replayEntryList(const HarImport &import)
{
    QString text;
    for (qsizetype i = 0; i < import.posts.size(); ++i) {
        const HarPostEntry &entry = import.posts.at(i);
        const QString time = entry.started.isValid() ? entry.started.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s)
                                                     : u"（时间不详）"_s;
        text += u"%1  %2  %3  %4 字节\n"_s.arg(i + 1, 3).arg(time, entry.url).arg(entry.body.size());
    }
    return text;
}

ReplayRunResult runReplay(const PostOptions &options, const HttpRequestFactory &createRequest)
{
    ReplayRunResult result;
    const HarImport import = importHarFile(*options.replayFile);
    if (!import.ok()) {
        result.end = {ExitStatus::UsageError, *import.problem};
        return result;
    }
    const qsizetype count = import.posts.size();
    if (!options.replayEntry && count > 1) {
        result.out = replayEntryList(import).toUtf8();
        result.end = {ExitStatus::UsageError,
                      u"HAR 文件里有 %1 个 POST 请求：用 --entry 编号 选一个（编号见标准输出）"_s.arg(count)};
        return result;
    }
    const int number = options.replayEntry.value_or(1);
    if (number > count) {
        result.end = {ExitStatus::UsageError, u"HAR 文件里只有 %1 个 POST 请求，没有第 %2 个"_s.arg(count).arg(number)};
        return result;
    }

    HarOutput har;
    if (!options.harFile.isEmpty())
        if (const std::optional<QString> problem = har.open(options.harFile)) {
            result.end = {ExitStatus::UsageError, *problem};
            return result;
        }
    const ReplaySource source = replaySourceOf(import.posts.at(number - 1));
    const PushPostOutcome outcome = replayPost(source, options.resign ? ReplayMode::Resigned : ReplayMode::AsRecorded,
                                               options.access, options.url, createRequest);
    har.add(outcome.record);
    if (options.verbose)
        result.err += exchangeTrace(outcome);
    const QString url = outcome.record.url.isEmpty() ? replayUrl(source.url, options.url) : outcome.record.url;
    if (options.json)
        result.out += jsonLine(exchangeJson(outcome, url, 1));
    else if (!outcome.record.failure && !outcome.record.cancelled)
        result.out += outcome.shownText.toUtf8();

    RepeatSummary summary;
    summary.add(tallyOf(outcome));
    result.end = runEndOf(summary, 1);
    if (const std::optional<QString> problem = har.finish()) {
        if (result.end.status == ExitStatus::Passed)
            result.end = {ExitStatus::ExchangeFailed, *problem};
        else
            result.err += (u"veltrane-post: "_s + *problem + u'\n').toUtf8();
    }
    return result;
}
