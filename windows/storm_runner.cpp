#include "storm_runner.h"

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
    job.post = [order, createRequest = deliveryRequests(rules, settings)](int) {
        return postPush({order.url, buildSample(order.sampleName, order.access).value_or(QString()), order.access},
                        createRequest);
    };
    // Emitted on the workers; the window, on the GUI thread, gets them queued.
    job.ended = [this](const StormPost &post) { emit postEnded(post); };
    run_ = std::make_unique<StormRun>(std::move(job));
    thread_ = std::make_unique<std::thread>([this] {
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
