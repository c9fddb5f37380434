#include "platform/user_samples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestUserSamples : public QObject {
    Q_OBJECT
private slots:
    void nameRules_data();
    void nameRules();
    void savedAsContentSays_data();
    void savedAsContentSays();
    void bytesTaken_data();
    void bytesTaken();
};

// A name either saves, or is refused with a reason that contains `reason`.
void TestUserSamples::nameRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason"); // empty: accepted
    QTest::newRow("plain") << u"订单回调-1"_s << QString();
    QTest::newRow("dotted") << u"a.b"_s << QString();
    QTest::newRow("empty") << u" "_s << u"为空"_s;
    QTest::newRow("hidden") << u".x"_s << u"开头"_s;
    QTest::newRow("path") << u"a/b"_s << u"不能含有"_s;
    QTest::newRow("window's") << u"text"_s << u"内置样例"_s;
    QTest::newRow("official account's") << u"subscribe-qrscene"_s << u"内置样例"_s;
}

void TestUserSamples::nameRules()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    const UserSampleSave save = saveUserSample(folder.path(), name, u"<xml/>"_s);
    QVERIFY2(reason.isEmpty() ? save.problem.isEmpty() : save.problem.contains(reason), qPrintable(save.problem));
    QCOMPARE(findUserSample(folder.path(), name).has_value(), reason.isEmpty());
}

// Saved again with other content, a sample stays one file of the right kind, byte for byte.
void TestUserSamples::savedAsContentSays_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("extension");
    QTest::newRow("xml") << u"{}"_s << u"<xml><Content>退订</Content></xml>\r\n"_s << u"xml"_s;
    QTest::newRow("json object") << u"<xml/>"_s << u" {\"MsgType\":\"text\"}"_s << u"json"_s;
    QTest::newRow("json array") << u"<xml/>"_s << u"[1]"_s << u"json"_s;
}

void TestUserSamples::savedAsContentSays()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, extension);
    QTemporaryDir folder;
    const QString into = folder.filePath(u"new/samples"_s); // made when first needed
    QVERIFY(saveUserSample(into, u"mine"_s, first).problem.isEmpty());
    const UserSampleSave save = saveUserSample(into, u"mine"_s, second);
    QVERIFY2(save.problem.isEmpty(), qPrintable(save.problem));
    const QList<UserSample> listed = userSamples(into);
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed[0].file, QDir(into).absoluteFilePath(u"mine."_s + extension));
    const SampleText read = readSampleFile(listed[0].file);
    QCOMPARE(read.text, second);
    QFile file(listed[0].file);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), second.toUtf8());
}

// Bytes are taken only when they go out again unchanged.
void TestUserSamples::bytesTaken_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // empty: taken
    QTest::newRow("utf-8") << u"<xml>退订</xml>"_s.toUtf8() << QString();
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF<xml/>") << QString();
    QTest::newRow("gbk") << QByteArray("<xml>\xCD\xCB</xml>") << u"从第 6 个字节起"_s;
    QTest::newRow("overlong") << QByteArray("<\xC0\xBCxml/>") << u"从第 2 个字节起"_s;
}

void TestUserSamples::bytesTaken()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const SampleText taken = sampleTextFromBytes(bytes);
    QVERIFY2(reason.isEmpty() ? taken.ok() : taken.problem.contains(reason), qPrintable(taken.problem));
    if (taken.ok())
        QCOMPARE(taken.text.toUtf8(), bytes);
}

QTEST_GUILESS_MAIN(TestUserSamples)
#include "test_user_samples.moc"
