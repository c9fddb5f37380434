#include "start_phase.h"

#include "platform/access_settings.h"

#include "event_loop.h"
#include "fail.h"
#include "paint_watch.h"
#include "process_memory.h"
#include "timing.h"


#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Constructing and showing the program's windows as it does, up to the end
// of the event processing in which the main window was first painted.
double startOnce(PaintWatch &watch, std::unique_ptr<ProgramWindows> &windows)
{
    const auto start = Clock::now();
    windows = std::make_unique<ProgramWindows>(AccessSettings{});
    watch.arm(&windows->mainWindow());
    windows->mainWindow().show();
    if (!watch.painted && !spinUntil([&] { return watch.painted; }, 30'000))
        fail("the main window was never painted");
    const double ms = msSince(start);
    watch.disarm();
    return ms;
}

// The program itself, in a process of its own: its memory once started.
double programRssAfterStart()
{
    double rss = -1;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELTRANE_PROGRAM), {});
    if (program.waitForStarted(10'000)) {
        const std::string status = "/proc/" + std::to_string(program.processId()) + "/status";
        double last = -1;
        int steady = 0;
        const auto since = Clock::now();
        // Idle once the memory stops growing for half a second, after at least a second.
        while (msSince(since) < 10'000 && (msSince(since) < 1'000 || steady < 5)) {
            QThread::msleep(100);
            const double now = statusMb("VmRSS", status);
            steady = std::abs(now - last) < 0.05 ? steady + 1 : 0;
            last = now;
        }
        rss = last;
        program.kill();
        program.waitForFinished(5'000);
    }
    return rss;
}

// From a process's start to its window first painted, as the process tells
// (the steady clock is the system's): its exit, longer for a larger process,
// is no part of its start.
double processMs(const char *program)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    const auto start = Clock::now();
    process.start(QString::fromLocal8Bit(program), {});
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        fail(std::string("did not start and paint: ") + program);
    const QByteArray said = process.readAllStandardOutput().trimmed();
    bool read = said.startsWith("painted ");
    const qint64 painted = read ? said.mid(8).toLongLong(&read) : 0;
    if (!read)
        fail(std::string("did not tell when it painted: ") + program);
    return std::chrono::duration<double, std::milli>(Clock::time_point(std::chrono::nanoseconds(painted)) - start).count();
}

} // namespace

void compareStartProcesses(StartFigures &figures, bool quick)
{
    // Side by side, alternating, after one of each to warm the file cache;
    // the main window's controls also as plain Qt widgets, to see what
    // drawing them costs.
    std::vector<double> program, bare, plain;
    for (int i = 0; i < (quick ? 6 : 16); ++i) {
        const double a = processMs(START_PROBE);
        const double b = processMs(BARE_WINDOW);
        const double d = processMs(PLAIN_WINDOW);
        if (i > 0) {
            program.push_back(a);
            bare.push_back(b);
            plain.push_back(d);
        }
    }
    figures.program = stats(program);
    figures.bare = stats(bare);
    figures.plain = stats(plain);
}

StartFigures measureStart(PaintWatch &watch, std::unique_ptr<ProgramWindows> &windows, bool quick)
{
    StartFigures figures;
    figures.firstMs = startOnce(watch, windows);
    processEventsFor(200); // let anything the first show set off settle
    figures.rssMb = statusMb("VmRSS");

    std::vector<double> startTimes;
    for (int i = 0; i < (quick ? 5 : 20); ++i) {
        std::unique_ptr<ProgramWindows> other;
        startTimes.push_back(startOnce(watch, other));
        other.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    figures.later = stats(startTimes);
    figures.programRssMb = programRssAfterStart();
    compareStartProcesses(figures, quick);
    return figures;
}
