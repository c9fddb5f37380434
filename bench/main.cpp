// Speed and memory figures of the real code, measured side by side in one
// run and printed: a table, then one line "bench: key=value ..." with every
// figure. Headless; the only network use is a loopback HTTP server that this
// program starts itself.
//
//   build/bench/veltrane-bench [--rounds N] [--quick]
//
// --rounds: posts per client in the post comparison (200); --quick: fewer
// repetitions everywhere. Each goal is printed as a ratio to its floor with
// PASS or MISS. --only start (or copy) runs the start's (or the copy's)
// comparison alone, to iterate on its ratio; --only load the load's
// (veltrane-post --repeat against the sample endpoint beside a bare libcurl
// multi loop and ab). --only post|textbox-line|textbox-lines runs one part alone for a
// profiler (under callgrind its phases are dumped apart), e.g.
//   valgrind --tool=callgrind build/bench/veltrane-bench --only textbox-line --only-bytes 1000000

#include "bench_server.h"
#include "box_phase.h"
#include "click_phase.h"
#include "figures.h"
#include "load_phase.h"
#include "paint_watch.h"
#include "post_phase.h"
#include "process_memory.h"
#include "profiler_runs.h"
#include "repeat_load_phase.h"
#include "program_windows.h"
#include "report.h"
#include "start_phase.h"
#include "toolkit/text_boxes.h"

#include <curl/curl.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    int rounds = 200;
    bool quick = false;
    std::string only; // for a profiler: one part alone
    std::size_t onlyBytes = 10'000'000;
};

// False on an option it does not know; Qt's own -platform passes.
bool parseOptions(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--rounds" && i + 1 < argc)
            options.rounds = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--quick")
            options.quick = true;
        else if (argument == "--only" && i + 1 < argc)
            options.only = argv[++i];
        else if (argument == "--only-bytes" && i + 1 < argc)
            options.onlyBytes = std::strtoul(argv[++i], nullptr, 10);
        else if (argument != "-platform" && argument.rfind("-", 0) == 0)
            return false;
    }
    if (options.quick)
        options.rounds = std::min(options.rounds, 40);
    return true;
}

// On a virtual machine whose host backs the guest's memory only when it is
// first touched, the first few hundred megabytes a process fills cost many
// times what they cost later (seen here: a 20 MB decoding taking 35 ms
// instead of 5). They are touched once, before any figure, so that every
// case meets memory alike; on a real machine this costs a fraction of a second.
void touchMemoryOnce()
{
    constexpr std::size_t kBytes = std::size_t(1) << 30;
    void *memory = mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    std::memset(memory, 1, kBytes);
    munmap(memory, kBytes);
}

} // namespace

int main(int argc, char *argv[])
{
    mallopt(M_ARENA_MAX, 1); // as the program's main does: its memory is measured here
    touchMemoryOnce();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--rounds N] [--quick] [--only post|start|copy|load|textbox-line|textbox-lines [--only-bytes N]]\n", argv[0]);
        return 2;
    }

    // The bench's posts go to a history and settings of its own, never the user's.
    const QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QApplication app(argc, argv);
    if (options.only == "start") {
        runStartAlone(options.quick);
        return 0;
    }
    if (options.only == "copy") {
        runCopyAlone(options.quick);
        return 0;
    }
    if (!options.only.empty() && options.only != "post" && options.only != "load")
        return runTextBoxAlone(options.only, options.onlyBytes);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (options.only == "load") {
        printLoadReport(measureRepeatLoad(options.quick));
        curl_global_cleanup();
        return 0;
    }
    BenchServer server;
    if (options.only == "post") {
        runPostsAlone(server, options.rounds);
        return 0;
    }
    PaintWatch watch;
    app.installEventFilter(&watch);

    std::printf("veltrane-bench: Qt %s, platform %s, %u cores\n", qVersion(),
                qPrintable(QGuiApplication::platformName()), std::thread::hardware_concurrency());
    std::fflush(stdout);

    Figures figures;
    std::unique_ptr<ProgramWindows> program;
    figures.start = measureStart(watch, program, options.quick);
    ProgramWindows &windows = *program;
    figures.loads = measureLoads(watch, windows.mainWindow(), options.quick);
    figures.post = comparePosts(server, options.rounds);
    figures.keys = measureKeys(watch, windows.mainWindow(), options.quick);
    std::vector<AnswerCase> cases = answerCases(options.quick);
    figures.answers = measureClicks(watch, windows, server, cases, options.quick);

    // The peak so far is the program's own; the parts below add boxes alone.
    figures.hwmMb = statusMb("VmHWM");
    const QSize resultBoxSize = windows.resultWindow().get().Text1()->size();
    windows.resultWindow().get().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    figures.readBack = measureReadBack(options.quick);
    figures.copy = compareCopies(options.quick);
    figures.prototypes = compareBoxes(cases, resultBoxSize);
    figures.repeatLoad = measureRepeatLoad(options.quick);

    printReport(figures);

    program.reset();
    curl_global_cleanup();
    return 0;
}
