#include "access_settings_dialog.h"
#include "form1.h"
#include "main_window_menu.h"
#include "toolkit/qt_translations.h"
#include "toolkit/text_boxes.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Right-clicks the control as the user does, through the window system, so
// the context menu event is made and passed up as Qt does it.
void rightClick(Form1 &form, QWidget *control, QPoint at = {})
{
    if (at.isNull())
        at = QPoint(control->width() / 2, 4);
    QTest::mouseClick(form.windowHandle(), Qt::RightButton, {}, control->mapTo(&form, at));
}

// The menu open now; closes it and returns its entries' texts, separators as "|".
QStringList takeOpenMenu()
{
    QMenu *menu = nullptr;
    if (!QTest::qWaitFor([&] { return (menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())); }))
        return {u"(no menu)"_s};
    QStringList entries;
    for (const QAction *action : menu->actions())
        entries << (action->isSeparator() ? u"|"_s : action->text());
    menu->close();
    return entries;
}

} // namespace

class TestContextMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void opensAnywhereOnTheWindow_data();
    void opensAnywhereOnTheWindow();
    void boxesKeepTheirOwnEntries_data();
    void boxesKeepTheirOwnEntries();
    void messageBoxesSayOkInChinese();
    void moreEntriesComeInWithoutEditingTheMenu();
    void urlCheckNeedsAToken();
    void shortcutOpensTheDialogFromTheBoxes_data();
    void shortcutOpensTheDialogFromTheBoxes();
    void acceptedDialogSetsTheWindow();

private:
    std::unique_ptr<ProgramWideWindow<Form2>> results_;
    std::unique_ptr<Form1> form_;
};

void TestContextMenu::initTestCase()
{
    // As the program does: Qt's own words in Chinese.
    QVERIFY(loadQtChineseTranslations(*QCoreApplication::instance()));
}

void TestContextMenu::init()
{
    results_ = std::make_unique<ProgramWideWindow<Form2>>();
    form_ = std::make_unique<Form1>(*results_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestContextMenu::cleanup()
{
    form_.reset();
    results_.reset();
}

void TestContextMenu::opensAnywhereOnTheWindow_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("Frame1's caption") << u"Frame1"_s;
    QTest::newRow("Frame2's caption") << u"Frame2"_s;
    QTest::newRow("Label1") << u"Label1"_s;
    QTest::newRow("a load button") << u"Command2"_s;
    QTest::newRow("PostXML") << u"Command4"_s;
    QTest::newRow("the window between controls") << u"Form1"_s;
}

void TestContextMenu::opensAnywhereOnTheWindow()
{
    QFETCH(QString, control);
    QWidget *target = control == u"Form1" ? form_.get() : form_->findChild<QWidget *>(control);
    QVERIFY(target);
    // The window's free strip right of the buttons, above Label1.
    rightClick(*form_, target, control == u"Form1" ? QPoint(458, 300) : QPoint());
    const QStringList entries = takeOpenMenu();
    QCOMPARE(entries, (QStringList{u"接入设置…"_s, u"验证URL"_s}));
}

void TestContextMenu::boxesKeepTheirOwnEntries_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("endpoint box") << u"Text1"_s;
    QTest::newRow("XML box") << u"Text2"_s;
}

void TestContextMenu::boxesKeepTheirOwnEntries()
{
    QFETCH(QString, box);
    QWidget *target = form_->findChild<QWidget *>(box);
    rightClick(*form_, target, QPoint(20, 10));
    const QStringList entries = takeOpenMenu();
    // The editing entries first, in Chinese, then a separator and ours, last.
    QVERIFY2(entries.size() > 4, qPrintable(entries.join(u", ")));
    QCOMPARE(entries.mid(entries.size() - 3), (QStringList{u"|"_s, u"接入设置…"_s, u"验证URL"_s}));
    QStringList words; // without the mnemonic: "撤销(&U)" reads 撤销
    for (const QString &entry : entries)
        words << QString(entry).remove(QRegularExpression(u"\\(&.\\)|&|\\t.*"_s));
    for (const QString &word : {u"撤销"_s, u"重做"_s, u"剪切"_s, u"复制"_s, u"粘贴"_s, u"删除"_s, u"全选"_s})
        QVERIFY2(words.contains(word), qPrintable(word + u" not in "_s + entries.join(u", ")));
}

void TestContextMenu::messageBoxesSayOkInChinese()
{
    QMessageBox box(QMessageBox::NoIcon, u"Veltrane"_s, u"x"_s, QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text().remove(QRegularExpression(u"\\(&.\\)|&"_s)), u"确定"_s);
}

void TestContextMenu::moreEntriesComeInWithoutEditingTheMenu()
{
    QAction records(u"交互记录"_s);
    QMenu samples(u"载入更多样例"_s);
    samples.addAction(u"图片消息"_s);
    form_->contextMenu().addActions({&records});
    form_->contextMenu().addXmlBoxMenu(&samples);

    rightClick(*form_, form_->findChild<QWidget *>(u"Label1"_s));
    QCOMPARE(takeOpenMenu(), (QStringList{u"接入设置…"_s, u"验证URL"_s, u"交互记录"_s}));
    rightClick(*form_, form_->findChild<QWidget *>(u"Text1"_s));
    QVERIFY(!takeOpenMenu().contains(u"载入更多样例"_s));
    rightClick(*form_, form_->findChild<QWidget *>(u"Text2"_s));
    const QStringList xmlEntries = takeOpenMenu();
    QCOMPARE(xmlEntries.mid(xmlEntries.size() - 4),
             (QStringList{u"接入设置…"_s, u"验证URL"_s, u"交互记录"_s, u"载入更多样例"_s}));
}

void TestContextMenu::urlCheckNeedsAToken()
{
    QAction *check = form_->findChild<QAction *>(u"checkUrl"_s);
    QVERIFY(check);
    QVERIFY(!check->isEnabled());
    AccessSettings signing;
    signing.token = u"AAAAA"_s;
    form_->setAccessSettings(signing);
    QVERIFY(check->isEnabled());
    form_->setAccessSettings(AccessSettings{});
    QVERIFY(!check->isEnabled());
}

void TestContextMenu::shortcutOpensTheDialogFromTheBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("endpoint box") << u"Text1"_s;
    QTest::newRow("XML box") << u"Text2"_s;
}

void TestContextMenu::shortcutOpensTheDialogFromTheBoxes()
{
    QFETCH(QString, box);
    QAction *edit = form_->findChild<QAction *>(u"editAccessSettings"_s);
    QCOMPARE(edit->shortcut(), QKeySequence(u"Ctrl+Shift+S"_s));
    QVERIFY(edit->isShortcutVisibleInContextMenu());

    auto *target = form_->findChild<QWidget *>(box);
    target->setFocus();
    const QString before = box == u"Text1" ? static_cast<QLineEdit *>(target)->text()
                                           : static_cast<MultiLineTextBox *>(target)->text();
    QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(form_->findChild<AccessSettingsDialog *>());
    auto *dialog = form_->findChild<AccessSettingsDialog *>();
    QTRY_VERIFY(dialog->isVisible());
    QVERIFY(dialog->isModal());
    const QString after = box == u"Text1" ? static_cast<QLineEdit *>(target)->text()
                                          : static_cast<MultiLineTextBox *>(target)->text();
    QCOMPARE(after, before); // the keys typed nothing into the box
    dialog->reject();
    QTRY_VERIFY(!form_->findChild<AccessSettingsDialog *>());
}

void TestContextMenu::acceptedDialogSetsTheWindow()
{
    QSignalSpy edited(form_.get(), &Form1::accessSettingsEdited);
    form_->findChild<QAction *>(u"editAccessSettings"_s)->trigger();
    auto *dialog = form_->findChild<AccessSettingsDialog *>();
    QVERIFY(dialog);
    dialog->findChild<QLineEdit *>(u"token"_s)->setText(u"AAAAA"_s);
    dialog->accept();
    QCOMPARE(edited.size(), 1);
    QCOMPARE(form_->accessSettings().token, u"AAAAA"_s);
    QVERIFY2(form_->findChild<QLabel *>(u"Label1"_s)->text().startsWith(u"已签名 · 明文模式"),
             qPrintable(form_->findChild<QLabel *>(u"Label1"_s)->text()));

    // Cancelled: nothing changes.
    QTRY_VERIFY(!form_->findChild<AccessSettingsDialog *>());
    form_->findChild<QAction *>(u"editAccessSettings"_s)->trigger();
    dialog = form_->findChild<AccessSettingsDialog *>();
    QCOMPARE(dialog->settings().token, u"AAAAA"_s); // opens on the settings in use
    dialog->findChild<QLineEdit *>(u"token"_s)->clear();
    dialog->reject();
    QCOMPARE(edited.size(), 1);
    QCOMPARE(form_->accessSettings().token, u"AAAAA"_s);
}

QTEST_MAIN(TestContextMenu)
#include "test_context_menu.moc"
