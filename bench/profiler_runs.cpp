#include "profiler_runs.h"

#include "bench_server.h"
#include "box_editor.h"
#include "box_phase.h"
#include "curl_post.h"
#include "event_loop.h"
#include "fail.h"
#include "form2.h"
#include "generated_answers.h"
#include "paint_watch.h"
#include "process_memory.h"
#include "platform/samples.h"
#include "start_phase.h"
#include "timing.h"
#include "toolkit/text_boxes.h"
#include "http/xml_post.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h> // phases apart under callgrind; nothing otherwise
#define PHASE_DONE(name) CALLGRIND_DUMP_STATS_AT(name)
#else
#define PHASE_DONE(name)
#endif

#include <QCoreApplication>

#include <cstdio>

int runTextBoxAlone(const std::string &part, std::size_t bytes)
{
    // Hidden (as after a click that loads it), then shown until painted,
    // then the same text again while it stands open.
    const bool lineBreaks = part == "textbox-lines";
    if (!lineBreaks && part != "textbox-line")
        fail("unknown part " + part);
    const std::string answer = answerBytes(lineBreaks ? AnswerShape::Lines : AnswerShape::Line, 0, bytes);
    const QString text = QString::fromLatin1(answer.data(), static_cast<qsizetype>(answer.size()));
    PaintWatch watch;
    QCoreApplication::instance()->installEventFilter(&watch);
    Form2 window;
    MultiLineTextBox *box = window.Text1();
    PHASE_DONE("before");
    auto start = Clock::now();
    box->setText(text);
    const double setHidden = msSince(start);
    PHASE_DONE("setText hidden");
    start = Clock::now();
    watch.arm(editorIn(*box)->viewport());
    window.show();
    spinUntil([&] { return watch.painted; });
    const double shown = msSince(start);
    processEventsFor(50);
    PHASE_DONE("show to painted");
    start = Clock::now();
    box->setText(text);
    const double setOpen = msSince(start);
    PHASE_DONE("setText open");
    start = Clock::now();
    watch.arm(editorIn(*box)->viewport());
    spinUntil([&] { return watch.painted; });
    const double repainted = msSince(start);
    PHASE_DONE("repainted");
    std::printf("%s, %zu bytes: setText hidden %.1f ms, show to painted %.1f ms, setText open %.1f ms, "
                "to painted %.1f ms; VmRSS %.1f MB, VmHWM %.1f MB\n",
                part.c_str(), answer.size(), setHidden, shown, setOpen, repainted, statusMb("VmRSS"), statusMb("VmHWM"));
    return text == box->text() ? 0 : 1;
}

void runPostsAlone(const BenchServer &server, int rounds)
{
    const QString sample = BuildTextSample();
    const std::string sampleBytes = sample.toStdString();
    const QString replyUrl = QString::fromStdString(server.url("/reply"));
    for (int i = 0; i < 20; ++i) {
        XmlPost(replyUrl, sample);
        curlPost(server.url("/reply"), sampleBytes);
    }
    PHASE_DONE("warm-up");
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        XmlPost(replyUrl, sample);
    const double xmlPost = msSince(start) / rounds;
    PHASE_DONE("XmlPost");
    start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        curlPost(server.url("/reply"), sampleBytes);
    const double curl = msSince(start) / rounds;
    PHASE_DONE("libcurl");
    std::printf("post, %d rounds: XmlPost %.3f ms, libcurl %.3f ms a call\n", rounds, xmlPost, curl);
}

void runStartAlone(bool quick)
{
    StartFigures start;
    compareStartProcesses(start, quick);
    std::printf("start: program / bare Qt window / plain controls, until first painted  "
                "%.2f / %.2f / %.2f ms (medians, n=%d)\ngoal_start=%.3f plain/bare=%.3f\n",
                start.program.median, start.bare.median, start.plain.median,
                start.program.n, start.program.median / start.bare.median, start.plain.median / start.bare.median);
}

void runCopyAlone(bool quick)
{
    const CopyFigures copy = compareCopies(quick);
    std::printf("select all and copy, 10 MB in one line: the box / a stock QPlainTextEdit  %.2f / %.2f ms (medians, n=%d)\n"
                "goal_copy_10m_line=%.3f\n",
                copy.box.median, copy.stock.median, copy.box.n, copy.box.median / copy.stock.median);
}
