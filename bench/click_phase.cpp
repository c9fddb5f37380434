#include "click_phase.h"

#include "bench_server.h"
#include "curl_post.h"
#include "event_loop.h"
#include "fail.h"
#include "form_button.h"
#include "paint_watch.h"
#include "process_memory.h"
#include "http/response_text.h"
#include "platform/samples.h"
#include "timing.h"
#include "box_editor.h"
#include "toolkit/text_boxes.h"
#include "http/xml_post.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <malloc.h>

#include <algorithm>
#include <cstdio>

namespace {

// Receives a posted event once the event loop is free again: the windows
// then take input.
class InputProbe : public QObject {
public:
    bool seen = false;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        seen = true;
        return true;
    }
};

void waitForInput()
{
    InputProbe probe;
    QCoreApplication::postEvent(&probe, new QEvent(QEvent::User));
    spinUntil([&] { return probe.seen; });
}

// Resident memory with what was freed given back, so that memory added next
// is counted from a clean floor.
double trimmedRssMb()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    malloc_trim(0);
    return statusMb("VmRSS");
}

void closeResults(ProgramWindows &windows)
{
    if (windows.resultWindow().isLoaded()) {
        windows.resultWindow().get().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Clicks on the post button, each timed until the answer is painted and the
// windows take input again.
ClickFigures timeClicks(PaintWatch &watch, ProgramWindows &windows, const AnswerCase &c, bool fresh,
                        AnswerFigures &answer)
{
    ProgramWideWindow<Form2> &results = windows.resultWindow();
    Form1 &form = windows.mainWindow();
    std::vector<double> total, toText, textToPaint, loaded;
    // The first click warms up. Its memory is measured once what it freed
    // has been given back, so the next starts on fresh memory as well and is
    // no more counted than the first: the clicks counted follow a click.
    const int warmUps = c.repetitions == 1 ? 0 : fresh ? 2 : 1;
    for (int i = 0; i < c.repetitions + warmUps; ++i) {
        if (fresh)
            closeResults(windows);
        else if (!results.isLoaded())
            button(form, "Command4")->click(); // open it
        processEventsFor(20);
        const double rssBefore = i == 0 && fresh ? trimmedRssMb() : 0;
        Clock::time_point textSet{};
        QMetaObject::Connection hooked;
        const auto hook = [&]() -> QObject * {
            MultiLineTextBox *box = results.get().Text1();
            // The text's first change: the answer reaching the box (a large
            // one goes on changing it while it loads stepwise).
            hooked = QObject::connect(box, &MultiLineTextBox::textChanged, [&] {
                if (textSet == Clock::time_point{})
                    textSet = Clock::now();
            });
            return editorIn(*box)->viewport();
        };
        if (fresh)
            watch.arm(nullptr, [&]() -> QObject * { return results.isLoaded() ? hook() : nullptr; });
        else
            watch.arm(hook());
        const auto start = Clock::now();
        button(form, "Command4")->click();
        if (!watch.painted && !spinUntil([&] { return watch.painted; }))
            fail(std::string("the answer ") + c.name + " was never painted");
        // Shown: the box's first screen painted, then the event loop free for
        // input. A large answer is still loading then, in steps between
        // which input is taken; its loading's end is timed apart.
        waitForInput();
        const double ms = msSince(start);
        watch.disarm();
        QObject::disconnect(hooked);
        MultiLineTextBox *const shownBox = results.get().Text1();
        if (!spinUntil([&] { return shownBox->loaded(); }))
            fail(std::string("the answer ") + c.name + " never finished loading");
        const double loadedMs = msSince(start);
        if (textSet == Clock::time_point{})
            fail("the answer never reached the result window");
        if (i >= warmUps) {
            total.push_back(ms);
            toText.push_back(std::chrono::duration<double, std::milli>(textSet - start).count());
            textToPaint.push_back(ms - toText.back());
            loaded.push_back(loadedMs);
        }
        if (i == 0 && fresh) {
            answer.firstClickMs = ms;
            // What the loading freed (the answer's bytes, its decoding) the
            // box gave back once it was all in.
            processEventsFor(20);
            answer.addedMb = statusMb("VmRSS") - rssBefore;
            MultiLineTextBox *box = results.get().Text1();
            if (box->text() != c.expected)
                fail(std::string("the result window does not show the answer ") + c.name);
            // Shown wrapped at the box's width, as the user sees it.
            const QTextLayout *first = editorIn(*box)->document()->firstBlock().layout();
            if (first->lineCount() < 2 || first->lineAt(0).naturalTextWidth() > editorIn(*box)->viewport()->width())
                fail(std::string("the answer ") + c.name + " is not wrapped at the box's width");
        }
    }
    return {stats(total), stats(toText), stats(textToPaint), stats(loaded)};
}

template <class F>
Stats timed(int times, F &&run)
{
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        const auto start = Clock::now();
        run();
        ms.push_back(msSince(start));
    }
    return stats(ms);
}

} // namespace

std::vector<AnswerCase> answerCases(bool quick)
{
    return {
        {"1k", "/1k", AnswerShape::Lines, 1024, quick ? 5 : 30, true, {}},
        {"10m_lines", "/10m-lines", AnswerShape::Lines, 10'000'000, quick ? 2 : 5, true, {}},
        {"10m_line", "/10m-line", AnswerShape::Line, 10'000'000, quick ? 2 : 5, true, {}},
        {"10m_nobreak", "/10m-nobreak", AnswerShape::NoBreak, 10'000'000, quick ? 2 : 5, true, {}},
        {"50m_line", "/50m-line", AnswerShape::Line, 50'000'000, 1, false, {}},
    };
}

std::vector<AnswerFigures> measureClicks(PaintWatch &watch, ProgramWindows &windows, const BenchServer &server,
                                         std::vector<AnswerCase> &cases, bool quick)
{
    const QString sample = BuildTextSample();
    const std::string sampleBytes = sample.toStdString();
    auto *endpointBox = windows.mainWindow().findChild<SingleLineTextBox *>("Text1");
    button(windows.mainWindow(), "Command2")->click();
    std::vector<AnswerFigures> figures;
    for (AnswerCase &c : cases) {
        AnswerFigures answer;
        answer.name = c.name;
        answer.bytes = c.bytes;
        const QString url = QString::fromStdString(server.url(c.path));
        endpointBox->setText(url);
        const int times = std::max(2, std::min(c.repetitions, 5));
        {
            // The floor: the program's own decoding of the bytes into a new
            // string, as every answer is decoded. Beside it, for the record,
            // Qt's decoder alone into memory already in use.
            const QByteArray bytes = QByteArray::fromStdString(answerBytes(c.shape, 0, c.bytes));
            answer.decode = timed(times, [&] { c.expected = decodeResponseText(bytes, QByteArray("text/xml; charset=utf-8")); });
            QString decoded(bytes.size(), u' ');
            answer.decodeInPlace = timed(times, [&] {
                QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                if (decoder.appendToBuffer(decoded.data(), bytes) != decoded.data() + bytes.size())
                    fail("the answer did not decode to one character a byte");
            });
        }
        closeResults(windows);
        const double rssBefore = trimmedRssMb();
        // Two ways: the result window was closed since the last post (so the
        // click loads and shows it afresh), and it still stands open with the
        // last answer (the click replaces the text).
        for (const bool fresh : {true, false}) {
            if (!fresh && !c.whileOpen)
                continue;
            const char *how = fresh ? "new" : "open";
            const ClickFigures clicks = timeClicks(watch, windows, c, fresh, answer);
            answer.clicks[how] = clicks;
            std::printf("  measured click %s %s: median %.1f ms\n", c.name, how, clicks.total.median);
            std::fflush(stdout);
        }
        // The answer stands in the result window, which has the focus: the
        // text box's cursor blinks.
        answer.idleCpuPct = idleCpuPercent(quick ? 1000 : 2000);
        // Closed, the window is deleted: what the answer took should go back.
        closeResults(windows);
        QCoreApplication::processEvents();
        answer.leftMb = statusMb("VmRSS") - rssBefore;

        // The post alone, the same answer: XmlPost, then plain libcurl.
        answer.postAlone = timed(times, [&] {
            if (XmlPost(url, sample).size() != c.expected.size())
                fail("XmlPost brought another answer");
        });
        const std::string curlUrl = server.url(c.path);
        answer.curlAlone = timed(times, [&] {
            if (curlPost(curlUrl, sampleBytes).size() != c.bytes)
                fail("libcurl brought another answer");
        });
        c.expected = QString(); // 100 MB for the largest: not kept for what follows
        figures.push_back(std::move(answer));
    }
    return figures;
}

std::vector<PrototypeFigures> compareBoxes(const std::vector<AnswerCase> &cases, QSize resultBoxSize)
{
    std::vector<PrototypeFigures> figures;
    for (const AnswerCase &c : cases) {
        if (c.bytes != 10'000'000)
            continue;
        const std::string bytes = answerBytes(c.shape, 0, c.bytes);
        const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        for (const bool pieces : {true, false}) {
            const double rssBefore = trimmedRssMb();
            const auto start = Clock::now();
            std::unique_ptr<QWidget> box;
            if (pieces) {
                auto *built = new MultiLineTextBox;
                box.reset(built);
                built->resize(resultBoxSize);
                built->setText(text);
            } else {
                // Each paragraph laid out whole, with the layout cache kept
                // for long ones; wrapping anywhere when nothing else can.
                auto *whole = new QPlainTextEdit;
                box.reset(whole);
                whole->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                whole->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                whole->setWordWrapMode(c.shape == AnswerShape::NoBreak ? QTextOption::WrapAnywhere
                                                                       : QTextOption::WrapAtWordBoundaryOrAnywhere);
                whole->resize(resultBoxSize);
                whole->setPlainText(text);
                for (QTextBlock block = whole->document()->firstBlock(); block.isValid(); block = block.next()) {
                    if (block.length() > 100'000)
                        block.layout()->setCacheEnabled(true);
                }
            }
            const QPixmap shot = box->grab();
            const double shownMs = msSince(start);
            figures.push_back({c.name, pieces ? "pieces" : "whole", shownMs, statusMb("VmRSS") - rssBefore});
            std::printf("  measured box %s %s: %.1f ms\n", c.name, pieces ? "pieces" : "whole", shownMs);
            std::fflush(stdout);
        }
    }
    return figures;
}
