#include "form1.h"
#include "form2.h"
#include "recent_endpoints.h"
#include "toolkit/program_wide_window.h"
#include "toolkit/text_boxes.h"
#include "starting_push.h"
#include "xml_box_field_edit.h"
#include "xml_box_files.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestXmlBoxFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openTakesOnlyWhatPostsUnchanged_data();
    void openTakesOnlyWhatPostsUnchanged();
    void saveWritesThePostedBytes();
    void sampleNameAskedAgainUntilItMaySave();
    void recentEndpointsNewestFirst_data();
    void recentEndpointsNewestFirst();
    void fieldAskedAgainUntilItFits();
    void startingPushFromTheCommandLine_data();
    void startingPushFromTheCommandLine();

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ProgramWideWindow<Form2>> results_;
    std::unique_ptr<Form1> form_;
    std::unique_ptr<QMenu> moreSamples_;
    XmlBoxFiles *files_ = nullptr;
    QStringList messages_;
};

void TestXmlBoxFiles::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    results_ = std::make_unique<ProgramWideWindow<Form2>>();
    form_ = std::make_unique<Form1>(*results_);
    moreSamples_ = std::make_unique<QMenu>();
    files_ = new XmlBoxFiles(*form_, moreSamples_.get(), folder_->filePath(u"samples"_s), form_.get());
    messages_.clear();
    files_->setMessageShower([this](const QString &message) { messages_ << message; });
}

void TestXmlBoxFiles::cleanup()
{
    form_.reset();
    moreSamples_.reset();
    results_.reset();
    folder_.reset();
}

// The box takes a file only if posting it sends the file's bytes; else it keeps its text and says why.
void TestXmlBoxFiles::openTakesOnlyWhatPostsUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("taken");
    QTest::newRow("utf-8, CR LF") << u"<xml>\r\n<Content>退订</Content></xml>"_s.toUtf8() << true;
    QTest::newRow("gbk") << QByteArray("<xml>\xCD\xCB</xml>") << false;
}

void TestXmlBoxFiles::openTakesOnlyWhatPostsUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, taken);
    const QString path = folder_->filePath(u"push.xml"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    form_->Text2()->replaceText(u"typed"_s);
    files_->setFileChooser([path](bool save) { return save ? QString() : path; });
    files_->openFile();
    QCOMPARE(form_->Text2()->text().toUtf8(), taken ? bytes : QByteArray("typed"));
    QCOMPARE(messages_.size(), taken ? 0 : 1);
}

void TestXmlBoxFiles::saveWritesThePostedBytes()
{
    const QString text = u"<xml>\r\n<Content><![CDATA[退订]]></Content>\r\n</xml>"_s;
    form_->Text2()->replaceText(text);
    const QString path = folder_->filePath(u"out.xml"_s);
    files_->setFileChooser([path](bool save) { return save ? path : QString(); });
    files_->saveFile();
    QCOMPARE(readAll(path), text.toUtf8());
    QVERIFY(messages_.isEmpty());
}

// A built-in's name is refused with the reason, and the corrected name saves;
// "我的样例" then lists the sample, and choosing it loads it back.
void TestXmlBoxFiles::sampleNameAskedAgainUntilItMaySave()
{
    const QString text = u"<xml><MsgType>text</MsgType></xml>"_s;
    form_->Text2()->replaceText(text);
    QStringList answers{u"text"_s, u"退订"_s};
    QStringList suggested;
    files_->setNameAsker([&](const QString &, const QString &suggestion) -> std::optional<QString> {
        suggested << suggestion;
        return answers.isEmpty() ? std::nullopt : std::optional(answers.takeFirst());
    });
    files_->saveAsSample();
    QCOMPARE(suggested, (QStringList{QString(), u"text"_s}));
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].contains(u"内置样例"_s), qPrintable(messages_[0]));

    Q_EMIT moreSamples_->aboutToShow();
    QCOMPARE(moreSamples_->actions().last()->menu(), files_->mySamplesMenu());
    const QList<QAction *> listed = files_->mySamplesMenu()->actions();
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed[0]->text(), u"退订"_s);
    form_->Text2()->replaceText(u"other"_s);
    listed[0]->trigger();
    QCOMPARE(form_->Text2()->text(), text);
}

// Addresses remembered in this order are listed so; other settings stay in the file.
void TestXmlBoxFiles::recentEndpointsNewestFirst_data()
{
    QTest::addColumn<QStringList>("posted");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("repeat moves up") << QStringList{u"http://a/"_s, u"http://b/"_s, u" http://a/ "_s}
                                     << QStringList{u"http://a/"_s, u"http://b/"_s};
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << u"http://h%1/"_s.arg(i);
    QStringList lastTen = twelve.mid(2);
    std::reverse(lastTen.begin(), lastTen.end());
    QTest::newRow("ten kept") << twelve << lastTen;
}

void TestXmlBoxFiles::recentEndpointsNewestFirst()
{
    QFETCH(QStringList, posted);
    QFETCH(QStringList, listed);
    const QString file = folder_->filePath(u"veltrane.conf"_s);
    QSettings(file, QSettings::IniFormat).setValue(u"AppID"_s, u"wx1"_s);
    RecentEndpoints recent(form_->Text1(), file);
    for (const QString &address : posted)
        recent.remember(address);
    QCOMPARE(RecentEndpoints(form_->Text1(), file).addresses(), listed);
    QCOMPARE(QSettings(file, QSettings::IniFormat).value(u"AppID"_s).toString(), u"wx1"_s);
    QCOMPARE(QFile::permissions(file) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    Q_EMIT recent.menu()->aboutToShow();
    recent.menu()->actions().first()->trigger();
    QCOMPARE(form_->Text1()->text(), listed.first());
}

// 设置字段… sets the box's field as --set does; a misfit keeps the box and
// asks again with what was typed; Ctrl+Z takes the set back.
void TestXmlBoxFiles::fieldAskedAgainUntilItFits()
{
    const QString text = u"<xml><Content><![CDATA[hi]]></Content></xml>"_s;
    form_->Text2()->replaceText(text);
    XmlBoxFieldEdit edit(*form_);
    edit.setMessageShower([this](const QString &message) { messages_ << message; });
    QStringList answers{u"Content"_s, u"Content=退订"_s};
    QStringList offered;
    edit.setAsker([&](const QString &, const QString &typed) -> std::optional<QString> {
        offered << typed;
        return answers.isEmpty() ? std::nullopt : std::optional(answers.takeFirst());
    });
    edit.action()->trigger();
    QCOMPARE(offered, (QStringList{QString(), u"Content"_s}));
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(form_->Text2()->text(), u"<xml><Content><![CDATA[退订]]></Content></xml>"_s);
    form_->Text2()->setFocus();
    QTest::keyClick(form_->Text2()->focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form_->Text2()->text(), text);
}

// veltrane --sample NAME --set …: a built-in sample, the user's own, or the
// box's text, with the fields set; a name no sample has or a field that does
// not fit is refused with what to do.
void TestXmlBoxFiles::startingPushFromTheCommandLine_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QStringList>("sets");
    QTest::addColumn<QString>("expected"); // contained in the text, or in the problem
    QTest::addColumn<bool>("ok");
    QTest::newRow("built-in") << u"subscribe"_s << QStringList{u"FromUserName=o6_x"_s}
                              << u"<FromUserName><![CDATA[o6_x]]></FromUserName>"_s << true;
    QTest::newRow("the user's") << u"mine"_s << QStringList{u"Content=退订"_s, u"Extra=1"_s}
                                << u"<Content>退订</Content><Extra>1</Extra>"_s << true;
    QTest::newRow("the box's") << QString() << QStringList{u"Content=退订"_s} << u"退订"_s << true;
    QTest::newRow("no such sample") << u"nosuch"_s << QStringList() << u"“nosuch”"_s << false;
    QTest::newRow("misfit") << u"mine"_s << QStringList{u"Content"_s} << u"--set：字段应写成"_s << false;
}

void TestXmlBoxFiles::startingPushFromTheCommandLine()
{
    QFETCH(QString, sample);
    QFETCH(QStringList, sets);
    QFETCH(QString, expected);
    QFETCH(bool, ok);
    const QString samples = folder_->filePath(u"samples"_s);
    QCOMPARE(saveUserSample(samples, u"mine"_s, u"<xml><Content>hi</Content></xml>"_s).problem, QString());
    StartingPush start{sample.isEmpty() ? std::nullopt : std::optional(sample), sets, samples};
    const SampleText push = startingPushText(start, u"<xml><Content>hi</Content></xml>"_s, AccessSettings{});
    QCOMPARE(push.ok(), ok);
    QVERIFY2((ok ? push.text : push.problem).contains(expected), qPrintable(push.text + push.problem));
}

QTEST_MAIN(TestXmlBoxFiles)
#include "test_xml_box_files.moc"
