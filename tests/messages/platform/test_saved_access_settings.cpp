#include "platform/saved_access_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(AccessSettings)

class TestSavedAccessSettings : public QObject {
    Q_OBJECT
private slots:
    void readsWhatWasSaved_data();
    void readsWhatWasSaved();
};

void TestSavedAccessSettings::readsWhatWasSaved_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<AccessSettings>("read");

    const AccessSettings before{u"tok"_s, {}, u"wx1"_s, {}, MessageMode::Compatible};
    QTest::newRow("saved before the families: the official account")
        << "[access]\ntoken=tok\nappId=wx1\nmode=compat\n"_ba << before;
    QTest::newRow("names this build does not know") << "[access]\ntoken=tok\nappId=wx1\nmode=compat\n"
                                                       "platform=alipay\nformat=yaml\n"_ba
                                                    << before;
}

void TestSavedAccessSettings::readsWhatWasSaved()
{
    QFETCH(QByteArray, file);
    QFETCH(AccessSettings, read);
    QTemporaryDir dir;
    QFile saved(dir.filePath(u"veltrane.conf"_s));
    QVERIFY(saved.open(QIODevice::WriteOnly));
    saved.write(file);
    saved.close();
    QVERIFY(readSavedAccessSettings(saved.fileName()) == read);
}

QTEST_MAIN(TestSavedAccessSettings)
#include "test_saved_access_settings.moc"
