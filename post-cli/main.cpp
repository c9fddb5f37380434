#include "access_secrets.h"
#include "body_file.h"
#include "conformance_run.h"
#include "exchange_json.h"
#include "exchange_trace.h"
#include "exit_status.h"
#include "har_output.h"
#include "help_text.h"
#include "interrupt_watch.h"
#include "http/interruptible_wait.h"
#include "junit_report.h"
#include "pay_help_text.h"
#include "pay_run.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "post_options.h"
#include "post_run.h"
#include "platform/user_samples.h"
#include "platform/named_samples.h"
#include "platform/storm_figures.h"
#include "platform/storm_run.h"
#include "replay_help_text.h"
#include "replay_run.h"
#include "platform/platform_delivery.h"
#include "platform/saved_access_settings.h"
#include "platform/url_check.h"
#include "xml/push_field_set.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <condition_variable>
#include <cstdio>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

namespace {

void write(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

int end(ExitStatus status, const QString &reason)
{
    // A reason may quote what was typed, line breaks included.
    if (!reason.isEmpty())
        write(stderr, (u"veltrane-post: "_s + oneLine(reason) + u'\n').toUtf8());
    return int(status);
}

int usageError(const QString &reason)
{
    return end(ExitStatus::UsageError, reason + u"（用 --help 查看用法 / see --help）"_s);
}

// The pushes to post: a sample afresh for each post, or one body for all.
std::function<QString()> unsetBodySource(const PostOptions &options, QString *problem)
{
    if (options.bodyFile) {
        const auto read = readBodyFile(*options.bodyFile);
        if (const auto *error = std::get_if<BodyFileError>(&read)) {
            *problem = error->reason;
            return {};
        }
        return [body = std::get<QString>(read)] { return body; };
    }
    // Neither: the family's first sample (the official account's: text).
    const QString name = options.sample.value_or(sampleNames(options.access.platform).constFirst());
    if (!sampleNames(options.access.platform).contains(name)) { // the user's own: the file as it is, for every post
        const std::optional<UserSample> sample = findUserSample(options.samplesDir, name);
        const SampleText read = sample ? readSampleFile(sample->file) : SampleText{{}, u"样例 \"%1\" 已不在"_s.arg(name)};
        if (!read.ok()) {
            *problem = read.problem;
            return {};
        }
        return [body = read.text] { return body; };
    }
    return [name, access = options.access] { return *buildSample(name, access); };
}

// The same, with --set's fields replaced in every push; a --set that does
// not fit the push stops the run before anything is sent.
std::function<QString()> bodySource(const PostOptions &options, QString *problem)
{
    std::function<QString()> unset = unsetBodySource(options, problem);
    if (!unset || options.sets.isEmpty())
        return unset;
    QString trial = unset();
    if (const std::optional<QString> misfit = setPushFields(trial, options.sets)) {
        *problem = *misfit;
        return {};
    }
    return [unset = std::move(unset), sets = options.sets] {
        QString body = unset();
        setPushFields(body, sets); // fits: tried above on the same kind of push
        return body;
    };
}

// The limits and authorities the options ask for, waiting through `waiter` if given.
ExchangeSettings exchangeSettingsFor(const PostOptions &options, ExchangeWaiter *waiter)
{
    ExchangeSettings settings;
    settings.stallTimeout = options.stallTimeout;
    settings.deadline = options.maxTime;
    // --cacert, else the one the window saved (with --saved-settings).
    settings.caFile = options.caFile.isEmpty() ? options.access.caFile : options.caFile;
    settings.waiter = waiter;
    return settings;
}

// Real request objects with those settings.
HttpRequestFactory requestsFor(const PostOptions &options, ExchangeWaiter *waiter = nullptr)
{
    return [settings = exchangeSettingsFor(options, waiter)] { return std::make_unique<NetworkHttpRequest>(settings); };
}

// Writes --har's file; a run that passed but could not write it failed.
RunEnd withHarWritten(HarOutput &har, RunEnd runEnd)
{
    const std::optional<QString> problem = har.finish();
    if (!problem)
        return runEnd;
    if (runEnd.status == ExitStatus::Passed)
        return {ExitStatus::ExchangeFailed, *problem};
    write(stderr, (u"veltrane-post: "_s + *problem + u'\n').toUtf8());
    return runEnd;
}

// Why an encrypted answer is printed as it came, on one line: the checks it failed.
QString unopenedReason(const QString &problem)
{
    QStringList why = problem.split(u'\n');
    why.removeFirst(); // the message box's lead
    return u"答复未通过检查，标准输出上是它原来的样子（与结果窗口相同）："_s + why.join(u"；"_s);
}

// The last try's line of the summary, for standard error.
QString tryEndReason(const PushDelivery &delivery)
{
    const QStringList lines = deliverySummary(delivery, DeliveryRules{}).split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast();
}

// The URL check: the explanation on standard output, whatever the outcome.
int runUrlCheck(const PostOptions &options)
{
    HarOutput har;
    if (!options.harFile.isEmpty())
        if (const std::optional<QString> problem = har.open(options.harFile))
            return usageError(*problem);
    const UrlCheckResult check = checkUrl(options.url, options.access, requestsFor(options));
    har.add(check.record);
    PushPostOutcome outcome;
    outcome.record = check.record;
    outcome.shownText = check.record.answerText;
    if (options.verbose)
        write(stderr, exchangeTrace(outcome));
    if (options.json) {
        QJsonObject json = exchangeJson(outcome, options.url, 1);
        // WeCom's echostr goes encrypted: "expected" is the plaintext the endpoint must answer.
        json[u"urlCheck"_s] = QJsonObject{{u"passed"_s, check.passed}, {u"echostr"_s, check.echostr},
                                          {u"expected"_s, check.expectedAnswer}, {u"explanation"_s, check.explanation}};
        json[u"passed"_s] = check.passed;
        write(stdout, jsonLine(json));
    } else {
        write(stdout, (check.explanation + u'\n').toUtf8());
    }
    const RunEnd runEnd = withHarWritten(har, urlCheckEndOf(check));
    return end(runEnd.status, runEnd.reason);
}

// --deliver: one message, tried as the platform tries it; a line per try on standard output.
int deliver(const PostOptions &options)
{
    QString problem;
    const std::function<QString()> nextBody = bodySource(options, &problem);
    if (!nextBody)
        return usageError(problem);
    InterruptibleWait waiter;
    const DeliveryRules rules;
    const HttpRequestFactory createRequest = deliveryRequests(rules, exchangeSettingsFor(options, &waiter));
    const PushDelivery delivery = [&] {
        const InterruptWatch watch([&waiter] { waiter.cancelAll(); });
        return deliverPush({options.url, nextBody(), options.access}, rules, [&](const PushPostOrder &order) {
            const PushPostOutcome outcome = postPush(order, createRequest);
            if (options.verbose)
                write(stderr, exchangeTrace(outcome));
            return outcome;
        });
    }();
    write(stdout, deliverySummary(delivery, rules).toUtf8());
    const TryEnd last = delivery.tries.isEmpty() ? TryEnd::NotSent : delivery.tries.constLast().end;
    if (last == TryEnd::Reply || last == TryEnd::NoReply)
        return int(ExitStatus::Passed);
    if (last == TryEnd::Unusable || last == TryEnd::ErrorStatus)
        return end(ExitStatus::VerdictFailed, u"投递未成功：%1"_s.arg(tryEndReason(delivery)));
    return end(ExitStatus::ExchangeFailed, u"投递未成功：%1"_s.arg(tryEndReason(delivery)));
}

// --conformance: the scorecard on standard output, the JUnit report where asked.
int conformance(const PostOptions &options)
{
    const QDateTime started = QDateTime::currentDateTime();
    const HttpRequestFactory createRequest = deliveryRequests(DeliveryRules{}, exchangeSettingsFor(options, nullptr));
    const ConformanceRun run = runConformance(options.url, options.access, createRequest);
    write(stdout, scorecard(run).toUtf8());
    if (options.junitFile) {
        QFile file(*options.junitFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(junitReport(run, options.url, started)) < 0
            || !file.flush())
            return end(ExitStatus::UsageError, u"无法写入 JUnit 文件 %1：%2"_s.arg(*options.junitFile, file.errorString()));
    }
    const RunEnd runEnd = conformanceEndOf(run);
    return end(runEnd.status, runEnd.reason);
}

// --repeat N --rate R: an open-loop storm and its per-second report.
int storm(const PostOptions &options)
{
    QString problem;
    const std::function<QString()> nextBody = bodySource(options, &problem);
    if (!nextBody)
        return usageError(problem);
    InterruptibleWait waiter;
    const DeliveryRules rules;
    const HttpRequestFactory createRequest = deliveryRequests(rules, exchangeSettingsFor(options, &waiter));
    StormJob job;
    job.count = *options.repeat;
    job.rate = *options.rate;
    job.cut = rules.cut;
    job.post = [&](int) { return postPush({options.url, nextBody(), options.access}, createRequest); };
    StormRun run(std::move(job));
    const QList<StormPost> posts = [&] {
        const InterruptWatch watch([&] {
            run.stop();
            waiter.cancelAll();
        });
        return run.run();
    }();
    write(stdout, stormReport(posts, *options.repeat, *options.rate).toUtf8());
    if (posts.size() < *options.repeat)
        return end(ExitStatus::ExchangeFailed, u"已中断：完成 %1 次，共 %2 次"_s.arg(posts.size()).arg(*options.repeat));
    for (const StormAlarm &alarm : stormAlarms(posts)) {
        if (alarm.raised)
            return end(ExitStatus::VerdictFailed, u"平台会报警：%1"_s.arg(alarm.rule));
    }
    return int(ExitStatus::Passed);
}

int post(const PostOptions &options)
{
    QString problem;
    const std::function<QString()> nextBody = bodySource(options, &problem);
    if (!nextBody)
        return usageError(problem);

    HarOutput har;
    if (!options.harFile.isEmpty())
        if (const std::optional<QString> harProblem = har.open(options.harFile))
            return usageError(*harProblem);

    const int count = options.repeat.value_or(1);
    const bool summarised = options.repeat.has_value();
    // Ctrl+C gives up the exchanges under way through their waiter.
    InterruptibleWait waiter;
    const HttpRequestFactory createRequest = requestsFor(options, &waiter);

    QString unopened; // a single post's answer that failed its checks: why
    PostJob job;
    job.count = count;
    job.concurrency = options.concurrency;
    job.orderFor = [&](int) { return PushPostOrder{options.url, nextBody(), options.access}; };
    job.post = [&](const PushPostOrder &order) { return postPush(order, createRequest); };
    job.cancelUnderWay = [&waiter] { waiter.cancelAll(); };
    job.seen = [&](int index, const PushPostOrder &order, const PushPostOutcome &outcome) {
        har.add(outcome.record);
        if (options.verbose)
            write(stderr, exchangeTrace(outcome));
        if (options.json)
            write(stdout, jsonLine(exchangeJson(outcome, order.url, index + 1)));
        else if (!summarised && !outcome.record.failure && !outcome.record.cancelled)
            write(stdout, outcome.shownText.toUtf8());
        if (!summarised && outcome.answerProblem)
            unopened = unopenedReason(*outcome.answerProblem);
    };

    PostRun run(std::move(job));
    const RepeatSummary summary = [&] {
        const InterruptWatch watch([&run] { run.stop(); });
        return run.run();
    }();
    if (summarised)
        write(options.json ? stderr : stdout, summary.text(count, options.concurrency).toUtf8());
    const RunEnd runEnd = withHarWritten(har, runEndOf(summary, count));
    return end(runEnd.status, runEnd.status == ExitStatus::VerdictFailed && !unopened.isEmpty() ? unopened : runEnd.reason);
}

// --every: a post each period, each answer on a line of its own, until
// Ctrl+C; the status then says how the posts went. The period is waited on
// a condition the interrupt wakes, so Ctrl+C ends the wait at once.
int postEvery(const PostOptions &options)
{
    QString problem;
    const std::function<QString()> nextBody = bodySource(options, &problem);
    if (!nextBody)
        return usageError(problem);

    std::mutex mutex;
    std::condition_variable woken;
    bool interrupted = false;
    InterruptibleWait waiter;
    const InterruptWatch watch([&] {
        {
            const std::lock_guard lock(mutex);
            interrupted = true;
        }
        waiter.cancelAll();
        woken.notify_all();
    });
    const HttpRequestFactory createRequest = requestsFor(options, &waiter);
    RepeatSummary summary;
    for (int index = 0;; ++index) {
        const PushPostOrder order{options.url, nextBody(), options.access};
        const PushPostOutcome outcome = postPush(order, createRequest);
        if (outcome.record.cancelled || (outcome.record.failure && outcome.record.failure->number == PostFailure::Cancelled))
            break; // given up by Ctrl+C: no post of the run's
        summary.add(tallyOf(outcome));
        if (options.verbose)
            write(stderr, exchangeTrace(outcome));
        if (options.json)
            write(stdout, jsonLine(exchangeJson(outcome, order.url, index + 1)));
        else if (!outcome.record.failure)
            write(stdout, (outcome.shownText + u'\n').toUtf8());
        // The run goes on after a failed post: said as it happens, not only at the end.
        if (outcome.record.failure && !options.json)
            write(stderr, (u"veltrane-post: "_s + failureLine(outcome.record.failure->number, outcome.record.failure->description)
                           + u'\n').toUtf8());
        std::unique_lock lock(mutex);
        if (woken.wait_for(lock, options.every.value(), [&] { return interrupted; }))
            break;
    }
    const RunEnd runEnd = runEndOf(summary, summary.count());
    return end(runEnd.status, runEnd.reason);
}

// The environment and the window's saved settings, as the options read them.
SettingSources settingSources()
{
    SettingSources sources;
    sources.environment = [](const char *name) { return qEnvironmentVariable(name); };
    sources.savedFile = windowAccessSettingsFile();
    sources.saved = [file = sources.savedFile]() -> std::optional<AccessSettings> {
        if (!QFileInfo::exists(file))
            return std::nullopt;
        AccessSettings settings = readSavedAccessSettings(file);
        // The window keeps the token and key in the desktop's keyring where
        // one answers, and in the file only where none does.
        if (settings.token.isEmpty() && settings.aesKey.isEmpty() && settings.apiV3Key.isEmpty())
            readAccessSecrets(settings);
        return settings;
    };
    return sources;
}

} // namespace

int main(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    const SettingSources sources = settingSources();
    if (asksForPay(QCoreApplication::arguments().mid(1), sources))
        return runPayCommandLine(QCoreApplication::arguments().mid(1), sources);
    const auto parsed = parsePostOptions(QCoreApplication::arguments().mid(1), sources);
    if (const auto *error = std::get_if<UsageError>(&parsed))
        return usageError(error->reason);
    const PostOptions &options = std::get<PostOptions>(parsed);
    if (options.help) {
        write(stdout, (helpText() + replayHelpText() + payHelpText()).toUtf8());
        return int(ExitStatus::Passed);
    }
    if (options.version) {
        write(stdout, (versionText() + u'\n').toUtf8());
        return int(ExitStatus::Passed);
    }
    if (options.replayFile) {
        InterruptibleWait waiter;
        const InterruptWatch watch([&waiter] { waiter.cancelAll(); });
        const ReplayRunResult replayed = runReplay(options, requestsFor(options, &waiter));
        write(stdout, replayed.out);
        write(stderr, replayed.err);
        return end(replayed.end.status, replayed.end.reason);
    }
    if (options.conformance)
        return conformance(options);
    if (options.deliver)
        return deliver(options);
    if (options.rate)
        return storm(options);
    if (options.checkUrl)
        return runUrlCheck(options);
    return options.every ? postEvery(options) : post(options);
}
