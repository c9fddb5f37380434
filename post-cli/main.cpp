#include "access_secrets.h"
#include "body_file.h"
#include "exchange_json.h"
#include "exchange_trace.h"
#include "exit_status.h"
#include "help_text.h"
#include "interrupt_watch.h"
#include "interruptible_wait.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "post_options.h"
#include "post_run.h"
#include "platform/user_samples.h"
#include "push_samples.h"
#include "platform/saved_access_settings.h"
#include "platform/url_check.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>

#include <cstdio>

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
std::function<QString()> bodySource(const PostOptions &options, QString *problem)
{
    if (options.bodyFile) {
        const auto read = readBodyFile(*options.bodyFile);
        if (const auto *error = std::get_if<BodyFileError>(&read)) {
            *problem = error->reason;
            return {};
        }
        return [body = std::get<QString>(read)] { return body; };
    }
    const QString name = options.sample.value_or(u"text"_s);
    if (!sampleNames().contains(name)) { // the user's own: the file as it is, for every post
        const std::optional<UserSample> sample = findUserSample(options.samplesDir, name);
        const SampleText read = sample ? readSampleFile(sample->file) : SampleText{{}, u"样例 \"%1\" 已不在"_s.arg(name)};
        if (!read.ok()) {
            *problem = read.problem;
            return {};
        }
        return [body = read.text] { return body; };
    }
    return [name] { return *buildSample(name); };
}

// Real request objects with the limits and authorities asked for, waiting through `waiter` if given.
HttpRequestFactory requestsFor(const PostOptions &options, ExchangeWaiter *waiter = nullptr)
{
    ExchangeSettings settings;
    settings.stallTimeout = options.stallTimeout;
    settings.deadline = options.maxTime;
    // --cacert, else the one the window saved (with --saved-settings).
    settings.caFile = options.caFile.isEmpty() ? options.access.caFile : options.caFile;
    settings.waiter = waiter;
    return [settings] { return std::make_unique<NetworkHttpRequest>(settings); };
}

// Why an encrypted answer is printed as it came, on one line: the checks it failed.
QString unopenedReason(const QString &problem)
{
    QStringList why = problem.split(u'\n');
    why.removeFirst(); // the message box's lead
    return u"答复未通过检查，标准输出上是它原来的样子（与结果窗口相同）："_s + why.join(u"；"_s);
}

// The URL check: the explanation on standard output, whatever the outcome.
int runUrlCheck(const PostOptions &options)
{
    const UrlCheckResult check = checkUrl(options.url, options.access, requestsFor(options));
    PushPostOutcome outcome;
    outcome.record = check.record;
    outcome.shownText = check.record.answerText;
    if (options.verbose)
        write(stderr, exchangeTrace(outcome));
    if (options.json) {
        QJsonObject json = exchangeJson(outcome, options.url, 1);
        json[u"urlCheck"_s] = QJsonObject{{u"passed"_s, check.passed}, {u"echostr"_s, check.echostr},
                                          {u"explanation"_s, check.explanation}};
        json[u"passed"_s] = check.passed;
        write(stdout, jsonLine(json));
    } else {
        write(stdout, (check.explanation + u'\n').toUtf8());
    }
    const RunEnd runEnd = urlCheckEndOf(check);
    return end(runEnd.status, runEnd.reason);
}

int post(const PostOptions &options)
{
    QString problem;
    const std::function<QString()> nextBody = bodySource(options, &problem);
    if (!nextBody)
        return usageError(problem);

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
    const RunEnd runEnd = runEndOf(summary, count);
    return end(runEnd.status, runEnd.status == ExitStatus::VerdictFailed && !unopened.isEmpty() ? unopened : runEnd.reason);
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
        if (settings.token.isEmpty() && settings.aesKey.isEmpty())
            readAccessSecrets(settings);
        return settings;
    };
    return sources;
}

} // namespace

int main(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    const auto parsed = parsePostOptions(QCoreApplication::arguments().mid(1), settingSources());
    if (const auto *error = std::get_if<UsageError>(&parsed))
        return usageError(error->reason);
    const PostOptions &options = std::get<PostOptions>(parsed);
    if (options.help) {
        write(stdout, helpText().toUtf8());
        return int(ExitStatus::Passed);
    }
    if (options.version) {
        write(stdout, (versionText() + u'\n').toUtf8());
        return int(ExitStatus::Passed);
    }
    return options.checkUrl ? runUrlCheck(options) : post(options);
}
