#include "platform/storm_figures.h"

#include <QTest>

#include <condition_variable>
#include <mutex>

using namespace Qt::Literals::StringLiterals;

namespace {

// Posts due `rate` a second from `from`, all ending so, answered in `answerMs`.
QList<StormPost> posts(int count, double rate, TryEnd end, double answerMs = 10, double from = 0)
{
    QList<StormPost> list;
    for (int i = 0; i < count; ++i)
        list.append({i, from + i / rate, 0, end == TryEnd::TimedOut ? -1 : answerMs, end});
    return list;
}

} // namespace

Q_DECLARE_METATYPE(QList<StormPost>)

class TestStormFigures : public QObject {
    Q_OBJECT

private slots:
    void perSecond()
    {
        QList<StormPost> run = posts(10, 10, TryEnd::NoReply);
        for (int i = 0; i < 10; ++i)
            run[i].answerMs = (i + 1) * 10; // 10 … 100 ms in the first second
        run += posts(4, 4, TryEnd::TimedOut, 0, 1);
        run += posts(1, 1, TryEnd::ErrorStatus, 7, 1.5);
        const QList<StormSecond> seconds = stormSeconds(run);
        QCOMPARE(seconds.size(), 2);
        QCOMPARE(seconds[0].posts, 10);
        QCOMPARE(seconds[0].answered, 10);
        QCOMPARE(seconds[0].p50Ms, 50.0);
        QCOMPARE(seconds[0].p95Ms, 100.0);
        QCOMPARE(seconds[1].posts, 5);
        QCOMPARE(seconds[1].late, 4);
        QCOMPARE(seconds[1].failed, 1);
        QCOMPARE(seconds[1].answered, 1); // the error status came in time; the late ones did not
        QCOMPARE(seconds[1].p50Ms, 7.0); // a late post has no answer time to count
    }

    // The platform counts per 5 minutes against a threshold of 30.
    void alarms_data()
    {
        QTest::addColumn<QList<StormPost>>("run");
        QTest::addColumn<QList<bool>>("raised"); // timeouts, failed answers, failed connections
        QTest::addColumn<int>("worstTimeouts");
        QTest::newRow("1000 answered") << posts(1000, 50, TryEnd::Reply) << QList<bool>{false, false, false} << 0;
        QTest::newRow("29 timeouts") << posts(29, 1, TryEnd::TimedOut) << QList<bool>{false, false, false} << 29;
        QTest::newRow("30 timeouts") << posts(30, 1, TryEnd::TimedOut) << QList<bool>{true, false, false} << 30;
        // 40 timeouts, one every 10 s: at most 30 of them in any 5 minutes.
        QTest::newRow("30 timeouts spread over 400 s") << posts(40, 0.1, TryEnd::TimedOut) << QList<bool>{true, false, false}
                                                       << 30;
        QTest::newRow("20 timeouts spread over 400 s") << posts(20, 0.05, TryEnd::TimedOut)
                                                       << QList<bool>{false, false, false} << 15;
        QTest::newRow("30 unusable answers") << posts(30, 10, TryEnd::Unusable) << QList<bool>{false, true, false} << 0;
        QTest::newRow("30 refused connections") << posts(30, 10, TryEnd::ConnectionFailed)
                                                << QList<bool>{false, false, true} << 0;
    }
    void alarms()
    {
        QFETCH(QList<StormPost>, run);
        QFETCH(QList<bool>, raised);
        QFETCH(int, worstTimeouts);
        const QList<StormAlarm> alarms = stormAlarms(run);
        QList<bool> got;
        for (const StormAlarm &alarm : alarms)
            got.append(alarm.raised);
        QCOMPARE(got, raised);
        QCOMPARE(alarms[0].worstCount, worstTimeouts);
        QCOMPARE(stormReport(run, int(run.size()), 1).contains(u"平台会报警"_s), raised.contains(true));
    }

    // Open loop: every post starts on time though none has been answered yet.
    void postsStartWithoutWaitingForAnswers()
    {
        constexpr int kCount = 5;
        std::mutex mutex;
        std::condition_variable allStarted;
        int started = 0;
        std::atomic<int> sawAllStarted = 0;
        StormJob job{kCount, 50, std::chrono::milliseconds(5000), [&](int) {
                         std::unique_lock lock(mutex);
                         ++started;
                         allStarted.notify_all();
                         // An endpoint that answers nothing until every post is under way.
                         if (allStarted.wait_for(lock, std::chrono::seconds(10), [&] { return started == kCount; }))
                             ++sawAllStarted;
                         return PushPostOutcome{};
                     }};
        std::atomic<int> told = 0; // each post told as it ends, as a window draws the run
        job.ended = [&](const StormPost &) { ++told; };
        const QList<StormPost> ended = StormRun(job).run();
        QCOMPARE(ended.size(), kCount);
        QCOMPARE(sawAllStarted.load(), kCount);
        QCOMPARE(told.load(), kCount);
    }

    // Enough workers that the rate holds while every post waits the whole cut.
    void workersHoldTheRate()
    {
        QCOMPARE(stormWorkers({1000, 100, std::chrono::milliseconds(5000), {}}), 501);
        QCOMPARE(stormWorkers({10, 100, std::chrono::milliseconds(5000), {}}), 10);
    }
};

QTEST_GUILESS_MAIN(TestStormFigures)
#include "test_storm_figures.moc"
