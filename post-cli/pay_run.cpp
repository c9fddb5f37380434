#include "pay_run.h"

#include "exchange_json.h"
#include "exchange_trace.h"
#include "pay_help_text.h"
#include "interrupt_watch.h"
#include "http/interruptible_wait.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "pay/pay_post.h"
#include "pay/pay_retry.h"
#include "pay/platform_key.h"

#include <QDateTime>
#include <QJsonObject>

#include <algorithm>

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

// A wait between retries that Ctrl+C ends at once.
class RetryPause {
public:
    bool wait(std::chrono::milliseconds delay)
    {
        std::unique_lock lock(mutex_);
        return !changed_.wait_for(lock, delay, [this] { return stopped_; });
    }
    void stop()
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    bool stopped()
    {
        const std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
};

PayNotificationKind kindOf(const PayOptions &options)
{
    if (options.signatureProbe)
        return PayNotificationKind::SignatureProbe;
    if (options.wrongKeyProbe)
        return PayNotificationKind::WrongKeyProbe;
    return PayNotificationKind::Normal;
}

bool failedLine(const VerdictLine &line)
{
    return line.outcome == VerdictLine::Fail;
}

} // namespace

RunEnd runPay(const PayOptions &options)
{
    PayPlatformKey key;
    PayNotification notification;
    try {
        key = payPlatformKey(payPlatformKeyFile());
        if (options.printCertificate) {
            write(stdout, key.certificatePem);
            write(stderr, (u"平台证书序列号：%1\n"_s.arg(key.serial)).toUtf8());
            return {};
        }
        const PaySample sample = *findPaySample(options.sample);
        const QDateTime now = QDateTime::currentDateTime();
        QJsonObject resource = paySampleResource(sample, options.access, now);
        for (const QString &assignment : options.assignments)
            setResourceField(resource, assignment); // checked when the options were read
        notification = makePayNotification(sample, resource, options.access.apiV3Key.toUtf8(), now, kindOf(options));
    } catch (const PostFailure &failure) {
        return {ExitStatus::ExchangeFailed, failure.description()};
    }

    InterruptibleWait waiter;
    RetryPause pause;
    ExchangeSettings settings;
    settings.stallTimeout = options.stallTimeout;
    settings.caFile = options.caFile;
    settings.waiter = &waiter;
    const HttpRequestFactory createRequest = [settings] { return std::make_unique<NetworkHttpRequest>(settings); };

    if (options.verbose)
        write(stderr, "* resource：" + notification.resourceJson + '\n');
    PayPostOutcome last;
    PayRetryPlan plan;
    plan.timeScale = options.timeScale;
    plan.send = [&](int attempt) {
        last = postPayNotification(options.url, notification, key, createRequest);
        const PushPostOutcome outcome{last.record, last.record.answerText, std::nullopt, last.verdict};
        if (options.verbose)
            write(stderr, exchangeTrace(outcome));
        if (options.json)
            write(stdout, jsonLine(exchangeJson(outcome, options.url, attempt)));
        const bool taken = payNotificationTaken(last.verdict);
        QString line = u"第 %1 次发送："_s.arg(attempt);
        for (const VerdictLine &verdict : std::as_const(last.verdict))
            line += (verdict.outcome == VerdictLine::Fail ? u"✗ "_s : verdict.outcome == VerdictLine::Warn ? u"! "_s : u"✓ "_s)
                + verdict.text + u"；"_s;
        write(stderr, (line.chopped(1) + u'\n').toUtf8());
        // Only a notification is retried; a probe is judged on its one sending.
        return taken || !options.deliver || notification.kind != PayNotificationKind::Normal || pause.stopped();
    };
    plan.wait = [&](std::chrono::milliseconds delay) {
        write(stderr, u"  平台将在 %1 秒后重试\n"_s.arg(double(delay.count()) / 1000, 0, 'f', 3).toUtf8());
        return pause.wait(delay);
    };
    {
        const InterruptWatch watch([&] {
            pause.stop();
            waiter.cancelAll();
        });
        const int sendings = runPayRetries(plan);
        if (options.deliver)
            write(stderr, u"共发送 %1 次：%2\n"_s.arg(sendings).arg(payNotificationTaken(last.verdict) ? u"接收端已收下"_s : u"接收端始终没有收下"_s).toUtf8());
    }
    if (!last.record.failure && !options.json)
        write(stdout, last.record.answerText.toUtf8());
    if (pause.stopped() || last.record.cancelled)
        return {ExitStatus::ExchangeFailed, u"已中断"_s};
    if (last.record.failure)
        return {ExitStatus::ExchangeFailed, failureLine(last.record.failure->number, last.record.failure->description)};
    for (const VerdictLine &line : std::as_const(last.verdict)) {
        if (failedLine(line))
            return {ExitStatus::VerdictFailed, line.text};
    }
    return {};
}

namespace {

RunEnd readAndRun(const QStringList &arguments, const SettingSources &sources)
{
    std::variant<PayOptions, PayUsageError> parsed;
    try {
        // Trying each --set on a sample takes random bytes, which can fail.
        parsed = parsePayOptions(arguments, sources);
    } catch (const PostFailure &failure) {
        return {ExitStatus::ExchangeFailed, failure.description()};
    }
    if (const auto *error = std::get_if<PayUsageError>(&parsed))
        return {ExitStatus::UsageError, error->reason + u"（用 --help 查看用法 / see --help）"_s};
    if (std::get<PayOptions>(parsed).help) {
        write(stdout, payHelpText().toUtf8());
        return {};
    }
    return runPay(std::get<PayOptions>(parsed));
}

} // namespace

int runPayCommandLine(const QStringList &arguments, const SettingSources &sources)
{
    const RunEnd runEnd = readAndRun(arguments, sources);
    if (!runEnd.reason.isEmpty())
        write(stderr, (u"veltrane-post: "_s + oneLine(runEnd.reason) + u'\n').toUtf8());
    return int(runEnd.status);
}
