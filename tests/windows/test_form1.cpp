#include "form1.h"
#include "form1_layout.h"
#include "platform/samples.h"
#include "toolkit/text_boxes.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void window();
    void controlGeometry_data();
    void controlGeometry();
    void controlProperties();
    void tabOrderAndStartFocus();
    void clickIntoEndpointBox();
    void clickLeavesOtherTextAlone_data();
    void clickLeavesOtherTextAlone();
    void loadButtonsReplaceTheXmlBox();

private:
    static SingleLineTextBox *text1(const Form1 &form) { return form.findChild<SingleLineTextBox *>("Text1"); }
    static MultiLineTextBox *text2(const Form1 &form) { return form.findChild<MultiLineTextBox *>("Text2"); }
    static QPushButton *button(const Form1 &form, const char *name) { return form.findChild<QPushButton *>(name); }
};

void TestForm1::window()
{
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    QCOMPARE(form.objectName(), u"Form1");
    QCOMPARE(form.windowTitle(), u"Veltrane");
    QCOMPARE(form.minimumSize(), QSize(460, 336));
    QCOMPARE(form.maximumSize(), QSize(460, 336));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    QVERIFY2(sizes.contains(QSize(48, 48)) && sizes.contains(QSize(256, 256)), "the icon has a 48 and a 256 image");
}

void TestForm1::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Frame1") << "Frame1" << "Form1" << QRect(0, 0, 457, 49);
    QTest::newRow("Text1") << "Text1" << "Frame1" << QRect(8, 16, 441, 25);
    QTest::newRow("Frame2") << "Frame2" << "Form1" << QRect(0, 48, 457, 225);
    QTest::newRow("Text2") << "Text2" << "Frame2" << QRect(8, 16, 441, 201);
    QTest::newRow("Command1") << "Command1" << "Form1" << QRect(240, 280, 105, 33);
    QTest::newRow("Command2") << "Command2" << "Form1" << QRect(0, 280, 105, 33);
    QTest::newRow("Command3") << "Command3" << "Form1" << QRect(120, 280, 105, 33);
    QTest::newRow("Command4") << "Command4" << "Form1" << QRect(360, 280, 97, 33);
    QTest::newRow("Label1") << "Label1" << "Form1" << QRect(0, 320, 441, 17);
}

void TestForm1::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QWidget *control = form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(!control->accessibleName().isEmpty());
}

void TestForm1::controlProperties()
{
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    QCOMPARE(text1(form)->text(), QStringView(kDefaultEndpoint));
    QCOMPARE(text1(form)->text(), u"http://localhost/api/");
    QCOMPARE(text2(form)->text(), u"请载入本文\r\n");
    QVERIFY(text1(form)->accessibleName() != text2(form)->accessibleName());
    // The box's editor fills it, as the window shows it.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto *editor = text2(form)->findChild<QPlainTextEdit *>();
    QCOMPARE(editor->geometry(), text2(form)->rect());
    QCOMPARE(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(editor->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(editor->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    QCOMPARE(form.findChild<QGroupBox *>("Frame1")->title(), u"位置公众地址(Api接入地址)");
    QCOMPARE(form.findChild<QGroupBox *>("Frame2")->title(), u"XML信息");
    for (const char *frame : {"Frame1", "Frame2"})
        QCOMPARE(form.findChild<QGroupBox *>(frame)->focusPolicy(), Qt::NoFocus);

    const std::pair<const char *, const char16_t *> captions[] = {
        {"Command1", u"载入图文XML格式"}, {"Command2", u"载入文本XML格式"},
        {"Command3", u"载入地理XML格式"}, {"Command4", u"PostXML"}};
    for (const auto &[name, caption] : captions) {
        QCOMPARE(button(form, name)->text(), QStringView(caption));
        QVERIFY2(!button(form, name)->autoDefault() && !button(form, name)->isDefault(), name);
    }

    // Left to right on the screen: text, location, picture, post.
    QList<QPushButton *> buttons = form.findChildren<QPushButton *>();
    std::sort(buttons.begin(), buttons.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
    QStringList order;
    for (auto *b : buttons)
        order << b->objectName();
    QCOMPARE(order, QStringList({"Command2", "Command3", "Command1", "Command4"}));

    const auto *label = form.findChild<QLabel *>("Label1");
    QVERIFY(!label->text().isEmpty());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), "the hint fits its line");
}

void TestForm1::tabOrderAndStartFocus()
{
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), text1(form));
    QCOMPARE(text1(form)->text(), QStringView(kDefaultEndpoint)); // focus at start clears nothing

    QStringList order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // The XML box takes the focus through the editor it holds.
        const QWidget *focus = QApplication::focusWidget();
        order << (focus->objectName().isEmpty() ? focus->parentWidget()->objectName() : focus->objectName());
    }
    QCOMPARE(order, QStringList({"Text2", "Command1", "Command2", "Command3", "Command4", "Text1"}));
    QCOMPARE(text1(form)->text(), QStringView(kDefaultEndpoint)); // nor does Tab into the box

    // Enter and Esc press no button.
    QTest::keyClick(text1(form), Qt::Key_Return);
    QTest::keyClick(text1(form), Qt::Key_Escape);
    QCOMPARE(text2(form)->text(), u"请载入本文\r\n");
    QVERIFY(form.isVisible());
}

void TestForm1::clickIntoEndpointBox()
{
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(text1(form), Qt::LeftButton);
    QCOMPARE(text1(form)->text(), QString());
    QTest::mouseClick(text1(form), Qt::LeftButton);
    QCOMPARE(text1(form)->text(), QString());

    // Typed back in exactly, the default is cleared again by the next click.
    QTest::keyClicks(text1(form), QString::fromUtf16(kDefaultEndpoint));
    QCOMPARE(text1(form)->text(), QStringView(kDefaultEndpoint));
    QTest::mouseClick(text1(form), Qt::LeftButton);
    QCOMPARE(text1(form)->text(), QString());

    // What the user typed is never cleared.
    QTest::keyClicks(text1(form), "http://127.0.0.1:8080/api/");
    QTest::mouseClick(text1(form), Qt::LeftButton);
    QCOMPARE(text1(form)->text(), u"http://127.0.0.1:8080/api/");
}

void TestForm1::clickLeavesOtherTextAlone_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one letter in upper case") << "http://Localhost/api/";
    QTest::newRow("trailing space") << "http://localhost/api/ ";
    QTest::newRow("leading space") << " http://localhost/api/";
    QTest::newRow("prefix only") << "http://localhost/api";
}

void TestForm1::clickLeavesOtherTextAlone()
{
    QFETCH(QString, text);
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    text1(form)->setText(text);
    QTest::mouseClick(text1(form), Qt::LeftButton);
    QCOMPARE(text1(form)->text(), text);
}

void TestForm1::loadButtonsReplaceTheXmlBox()
{
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const std::pair<const char *, QString (*)()> loads[] = {
        {"Command1", BuildPictureSample}, {"Command2", BuildTextSample}, {"Command3", BuildLocationSample}};
    for (const auto &[name, build] : loads) {
        QTest::mouseClick(button(form, name), Qt::LeftButton);
        QCOMPARE(text2(form)->text(), build());
    }

    // Edits to a loaded sample are discarded by the next load, and a load
    // made twice leaves the same text.
    QTest::mouseClick(button(form, "Command2"), Qt::LeftButton);
    text2(form)->setFocus();
    QTest::keyClicks(text2(form)->focusProxy(), "edited");
    QVERIFY(text2(form)->text() != BuildTextSample());
    const QString edited = text2(form)->text();
    QTest::mouseClick(button(form, "Command3"), Qt::LeftButton);
    QCOMPARE(text2(form)->text(), BuildLocationSample());
    QTest::mouseClick(button(form, "Command3"), Qt::LeftButton);
    QCOMPARE(text2(form)->text(), BuildLocationSample());
    // Each load is an edit Ctrl+Z takes back, down to what was typed.
    for (const QString &back : {BuildLocationSample(), edited}) {
        QTest::keyClick(text2(form)->focusProxy(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text2(form)->text(), back);
    }
    QCOMPARE(text1(form)->text(), QStringView(kDefaultEndpoint));
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
