#include "click_phase.h"

#include "bench_server.h"
#include "event_loop.h"
#include "fail.h"
#include "form_button.h"
#include "generated_answers.h"
#include "paint_watch.h"
#include "process_memory.h"
#include "response_text.h"
#include "samples.h"
#include "timing.h"
#include "toolkit/text_boxes.h"
#include "xml_post.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>

namespace {

// Clicks on the post button, each timed until the answer is painted.
ClickFigures timeClicks(PaintWatch &watch, ProgramWindows &windows, const AnswerCase &c, bool fresh)
{
    ProgramWideWindow<Form2> &results = *windows.results;
    Form1 &form = *windows.form;
    std::vector<double> total, toText, textToPaint;
    for (int i = 0; i < c.repetitions + 1; ++i) { // the first one warms up
        if (fresh && results.isLoaded()) {
            results.get().close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else if (!fresh && !results.isLoaded()) {
            button(form, "Command4")->click(); // open it
        }
        processEventsFor(20);
        Clock::time_point textSet{};
        QMetaObject::Connection hooked;
        const auto hook = [&]() -> QObject * {
            MultiLineTextBox *box = results.get().Text1();
            hooked = QObject::connect(box, &MultiLineTextBox::textChanged, [&] { textSet = Clock::now(); });
            return box->viewport();
        };
        if (fresh)
            watch.arm(nullptr, [&]() -> QObject * { return results.isLoaded() ? hook() : nullptr; });
        else
            watch.arm(hook());
        const auto start = Clock::now();
        button(form, "Command4")->click();
        if (!watch.painted && !spinUntil([&] { return watch.painted; }))
            fail(std::string("the answer ") + c.name + " was never painted");
        const double ms = msSince(start);
        watch.disarm();
        QObject::disconnect(hooked);
        if (textSet == Clock::time_point{})
            fail("the answer never reached the result window");
        if (i > 0 || c.repetitions == 1) {
            total.push_back(ms);
            toText.push_back(std::chrono::duration<double, std::milli>(textSet - start).count());
            textToPaint.push_back(ms - toText.back());
        }
        if (i == 0 && fresh) {
            MultiLineTextBox *box = results.get().Text1();
            if (box->text() != c.expected)
                fail(std::string("the result window does not show the answer ") + c.name);
            // Shown wrapped at the box's width, as the user sees it.
            const QTextLayout *first = box->document()->firstBlock().layout();
            if (first->lineCount() < 2 || first->lineAt(0).naturalTextWidth() > box->viewport()->width())
                fail(std::string("the answer ") + c.name + " is not wrapped at the box's width");
        }
    }
    return {stats(total), stats(toText), stats(textToPaint)};
}

} // namespace

std::vector<AnswerCase> answerCases(bool quick)
{
    return {
        {"1k", "/1k", quick ? 5 : 30, {}},
        {"10m_lines", "/10m-lines", quick ? 2 : 5, {}},
        {"10m_line", "/10m-line", quick ? 1 : 3, {}},
    };
}

std::vector<AnswerFigures> measureClicks(PaintWatch &watch, ProgramWindows &windows, const BenchServer &server,
                                         std::vector<AnswerCase> &cases, bool quick)
{
    const QString sample = BuildTextSample();
    auto *endpointBox = windows.form->findChild<SingleLineTextBox *>("Text1");
    button(*windows.form, "Command2")->click();
    std::vector<AnswerFigures> figures;
    for (AnswerCase &c : cases) {
        AnswerFigures answer;
        answer.name = c.name;
        const QString url = QString::fromStdString(server.url(c.path));
        endpointBox->setText(url);
        {
            const std::string bytes = answerBytes(c.path != std::string("/10m-line"), 0,
                                                  c.path == std::string("/1k") ? 1024 : 10'000'000);
            c.expected = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
        // Two ways: the result window was closed since the last post (so the
        // click loads and shows it afresh), and it still stands open with the
        // last answer (the click replaces the text).
        for (const bool fresh : {true, false}) {
            const char *how = fresh ? "new" : "open";
            const ClickFigures clicks = timeClicks(watch, windows, c, fresh);
            answer.clicks[how] = clicks;
            std::printf("  measured click %s %s: median %.1f ms\n", c.name, how, clicks.total.median);
            std::fflush(stdout);
        }
        answer.rssAfterMb = statusMb("VmRSS");
        // The answer stands in the result window, which has the focus: the
        // text box's cursor blinks.
        answer.idleCpuPct = idleCpuPercent(quick ? 1500 : 3000);

        // The post alone, the same answer: network, Qt's buffering and decoding.
        std::vector<double> alone;
        for (int i = 0; i < std::max(2, c.repetitions); ++i) {
            const auto start = Clock::now();
            const QString answerText = XmlPost(url, sample);
            alone.push_back(msSince(start));
            if (answerText.size() != c.expected.size())
                fail("XmlPost brought another answer");
        }
        answer.postAlone = stats(alone);
        figures.push_back(std::move(answer));
    }
    return figures;
}

std::map<std::string, PartFigures> measureParts(const std::vector<AnswerCase> &cases, QSize resultBoxSize, bool quick)
{
    std::map<std::string, PartFigures> parts;
    for (const AnswerCase &c : cases) {
        if (c.path == std::string("/1k"))
            continue;
        const QByteArray body = c.expected.toLatin1();
        std::vector<double> decode, setText, grab;
        for (int i = 0; i < (quick ? 1 : 3); ++i) {
            auto start = Clock::now();
            const QString decoded = decodeResponseText(body, QByteArray("text/xml; charset=utf-8"));
            decode.push_back(msSince(start));
            MultiLineTextBox box;
            box.resize(resultBoxSize);
            start = Clock::now();
            box.setText(decoded);
            setText.push_back(msSince(start));
            start = Clock::now();
            const QPixmap shot = box.grab();
            grab.push_back(msSince(start));
        }
        parts[c.name] = {stats(decode), stats(setText), stats(grab)};
    }
    return parts;
}
