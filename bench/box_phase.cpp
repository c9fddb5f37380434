#include "box_phase.h"

#include "box_editor.h"

#include "event_loop.h"
#include "fail.h"
#include "form1.h"
#include "generated_answers.h"
#include "paint_watch.h"
#include "timing.h"
#include "toolkit/text_boxes.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

Stats typeKeys(PaintWatch &watch, MultiLineTextBox &box, const QString &text, int keys)
{
    box.setText(text);
    QPlainTextEdit *const editor = editorIn(box);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(editor->document()->characterCount() / 2);
    editor->setTextCursor(cursor);
    box.setFocus();
    processEventsFor(50);
    std::vector<double> ms;
    for (int i = 0; i < keys + 1; ++i) { // the first one warms up (and scrolls)
        watch.arm(editor->viewport());
        const auto start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(editor, &press);
        QCoreApplication::sendEvent(editor, &release);
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

CopyFigures compareCopies(bool quick)
{
    const std::string bytes = answerBytes(AnswerShape::Line, 0, 10'000'000);
    const QString text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    MultiLineTextBox box;
    box.setText(text);
    // The stock editor left unshown: laid out whole, 10 MB in one line take seconds.
    QPlainTextEdit stock;
    stock.setPlainText(text);
    QClipboard *const clipboard = QApplication::clipboard();
    // The stock editor's copy is read lazily: its rich formats are made only
    // when a program pastes them, so only the box's is read back.
    const auto timeCopy = [&](auto &editor, std::vector<double> &ms) {
        clipboard->clear(); // what it held goes before, not in the time
        const auto start = Clock::now();
        editor.selectAll();
        editor.copy();
        ms.push_back(msSince(start));
    };
    std::vector<double> boxMs, stockMs;
    // A B A B, the first of each warming up.
    for (int i = 0; i < (quick ? 4 : 8) + 1; ++i) {
        timeCopy(box, boxMs);
        if (clipboard->text() != text)
            fail("the XML box's copy of 10 MB in one line is not the text");
        timeCopy(stock, stockMs);
    }
    boxMs.erase(boxMs.begin());
    stockMs.erase(stockMs.begin());
    clipboard->clear();
    return {stats(boxMs), stats(stockMs)};
}
