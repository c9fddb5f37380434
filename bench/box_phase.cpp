#include "box_phase.h"

#include "event_loop.h"
#include "fail.h"
#include "form1.h"
#include "generated_answers.h"
#include "paint_watch.h"
#include "timing.h"
#include "toolkit/text_boxes.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextCursor>

namespace {

Stats typeKeys(PaintWatch &watch, MultiLineTextBox &box, const QString &text, int keys)
{
    box.setText(text);
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(box.document()->characterCount() / 2);
    box.setTextCursor(cursor);
    box.setFocus();
    processEventsFor(50);
    std::vector<double> ms;
    for (int i = 0; i < keys + 1; ++i) { // the first one warms up (and scrolls)
        watch.arm(box.viewport());
        const auto start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(&box, &press);
        QCoreApplication::sendEvent(&box, &release);
        if (!spinUntil([&] { return watch.painted; }, 60'000))
            fail("the XML box was never painted after a key");
        if (i > 0)
            ms.push_back(msSince(start));
        watch.disarm();
    }
    if (box.text().size() != text.size() + keys + 1)
        fail("the keys typed did not all reach the XML box");
    return stats(ms);
}

} // namespace

KeyFigures measureKeys(PaintWatch &watch, Form1 &form, bool quick)
{
    auto *box = form.findChild<MultiLineTextBox *>("Text2");
    const int keys = quick ? 10 : 30;
    const auto line = [](std::size_t bytes) {
        const std::string answer = answerBytes(AnswerShape::Line, 0, bytes);
        return QString::fromLatin1(answer.data(), qsizetype(answer.size()));
    };
    KeyFigures figures;
    figures.small = typeKeys(watch, *box, line(1024), keys);
    figures.large = typeKeys(watch, *box, line(10'000'000), keys);
    box->setText(QString());
    return figures;
}

ReadBackFigures measureReadBack(bool quick)
{
    const std::string bytes = answerBytes(AnswerShape::Lines, 0, 50'000'000);
    MultiLineTextBox box;
    box.setText(QString::fromLatin1(bytes.data(), qsizetype(bytes.size())));
    // The first reading finishes the stepwise loading: not what is timed.
    box.text();
    ReadBackFigures figures;
    std::vector<double> readBack, copy;
    for (int i = 0; i < (quick ? 2 : 4); ++i) {
        auto start = Clock::now();
        const QString text = box.text();
        readBack.push_back(msSince(start));
        start = Clock::now();
        const QString copied(text.constData(), text.size());
        copy.push_back(msSince(start));
        if (copied.size() != qsizetype(bytes.size()) || copied.toLatin1() != QByteArray::fromStdString(bytes))
            fail("the XML box read back other text");
        figures.chars = std::size_t(text.size());
    }
    figures.readBack = stats(readBack);
    figures.copy = stats(copy);
    return figures;
}
