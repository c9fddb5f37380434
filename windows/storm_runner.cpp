#include "storm_runner.h"

#include "http/post_failure.h"
#include "pay/pay_box_post.h"
#include "pay/platform_key.h"
#include "platform/named_samples.h"
#include "platform/platform_delivery.h"

StormRunner::StormRunner(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<StormPost>();
    qRegisterMetaType<QList<StormPost>>();
}

StormRunner::~StormRunner()
{
    stop();
    join();
}

bool StormRunner::start(const StormOrder &order)
{
    if (thread_)
        return false;
    waiter_ = std::make_unique<InterruptibleWait>();
    DeliveryRules rules;
    rules.cut = cut_;
    ExchangeSettings settings;
    settings.waiter = waiter_.get();
    settings.caFile = order.access.caFile;
    StormJob job;
    job.count = order.count;
    job.rate = order.rate;
    job.cut = rules.cut;
    // 微信支付: each notification sealed and signed as the payment platform
    // sends it, with its key read on the storm's thread before the first post.
    const bool pay = order.access.platform == Platform::Pay;
    auto payKey = std::make_shared<PayPlatformKey>();
    job.post = [order, pay, payKey, createRequest = deliveryRequests(rules, settings)](int) {
        const QString body = order.body ? *order.body : buildSample(order.sampleName, order.access).value_or(QString());
        const PushPostOrder push{order.url, body, order.access};
        if (pay)
            return postPayResource(push, *payKey, createRequest); // an unread key: each post fails to sign, saying so
        return postPush(push, createRequest);
    };
    // Emitted on the workers; the window, on the GUI thread, gets them queued.
    job.ended = [this](const StormPost &post) { emit postEnded(post); };
    run_ = std::make_unique<StormRun>(std::move(job));
    thread_ = std::make_unique<std::thread>([this, pay, payKey] {
        if (pay) {
            try {
                *payKey = payPlatformKey(payPlatformKeyFile());
            } catch (const PostFailure &) {
            }
        }
        const QList<StormPost> posts = run_->run();
        QMetaObject::invokeMethod(this, [this, posts] {
            join();
            emit finished(posts);
        }, Qt::QueuedConnection);
    });
    return true;
}

void StormRunner::stop()
{
    if (!run_)
        return;
    run_->stop();
    waiter_->cancelAll();
}

void StormRunner::join()
{
    if (thread_ && thread_->joinable())
        thread_->join();
    thread_.reset();
    run_.reset();
    waiter_.reset();
}
