#include "network_module_loader.h"
#include "network_module_location.h"
#include "post_failure.h"
#include "push_post.h"
#include "recording_server.h"
#include "url_check.h"
#include "xml_post.h"

#include <QCoreApplication>
#include <QTest>

#include <dlfcn.h>

using namespace Qt::Literals::StringLiterals;

// Where the network module is looked for, what a module that cannot be
// loaded says, and that a post or URL check without it fails as failure 16
// and sends nothing. This process's module is pointed at a missing file first.
class TestNetworkModule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void location_data();
    void location();
    void load_data();
    void load();
    void postWithoutModule_data();
    void postWithoutModule();
};

void TestNetworkModule::initTestCase()
{
    setNetworkModuleFileForTests("/nonexistent/veltrane-network.so");
}

void TestNetworkModule::location_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("module");
    const QString built = u"/w/build/modules/veltrane-network.so"_s;
    QTest::newRow("the build folder's program") << u"/w/build/veltrane"_s << built;
    QTest::newRow("a test deeper in it") << u"/w/build/tests/messages/test_x"_s << built;
    QTest::newRow("installed in /usr") << u"/usr/bin/veltrane"_s << u"/usr/lib/veltrane/veltrane-network.so"_s;
    QTest::newRow("installed under another prefix") << u"/opt/v/bin/veltrane-post"_s
                                                     << u"/opt/v/lib/veltrane/veltrane-network.so"_s;
    // Its name starts as the build folder's does; it is not inside it.
    QTest::newRow("a folder beside the build folder") << u"/w/build2/bin/veltrane"_s
                                                       << u"/w/build2/lib/veltrane/veltrane-network.so"_s;
}

void TestNetworkModule::location()
{
    QFETCH(QString, program);
    QFETCH(QString, module);
    const NetworkModulePlaces places{u"/w/build"_s, u"/w/build/modules/veltrane-network.so"_s, u"../lib/veltrane"_s};
    QCOMPARE(networkModulePath(program, places), module);
}

void TestNetworkModule::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("problemNames");
    // Qt Core is a library without the module's entry.
    Dl_info qtCore{};
    QVERIFY(dladdr(reinterpret_cast<void *>(&qVersion), &qtCore) != 0);
    const QString built = networkModulePath(runningProgram(), thisBuildsModulePlaces());
    QTest::newRow("this build's module") << QFile::encodeName(built) << true << QString();
    QTest::newRow("a missing file") << QByteArray("/nonexistent/veltrane-network.so") << false
                                    << u"/nonexistent/veltrane-network.so"_s;
    QTest::newRow("a library that is not the module") << QByteArray(qtCore.dli_fname) << false
                                                      << QString::fromLatin1(kNetworkModuleEntry);
}

void TestNetworkModule::load()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, loads);
    QFETCH(QString, problemNames);
    const NetworkModuleLoad load(file);
    QCOMPARE(load.module() != nullptr, loads);
    QCOMPARE(load.problem().isEmpty(), loads);
    QVERIFY2(load.problem().contains(problemNames), qPrintable(load.problem()));
}

void TestNetworkModule::postWithoutModule_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("token");
    // XmlPost alone signs nothing: the exchange finds the module missing.
    QTest::newRow("XmlPost") << u"XmlPost"_s << QString();
    QTest::newRow("postPush, plain") << u"postPush"_s << QString();
    QTest::newRow("postPush, signed") << u"postPush"_s << u"token"_s;
    QTest::newRow("URL check") << u"checkUrl"_s << u"token"_s;
}

void TestNetworkModule::postWithoutModule()
{
    QFETCH(QString, how);
    QFETCH(QString, token);
    RecordingServer server;
    AccessSettings access;
    access.token = token;
    ExchangeRecord record;
    if (how == u"postPush") {
        record = postPush({server.url(), u"<xml/>"_s, access}).record;
    } else if (how == u"checkUrl") {
        const UrlCheckResult check = checkUrl(server.url(), access, createHttpRequest);
        QVERIFY(!check.passed);
        record = check.record;
    } else {
        try {
            XmlPost(server.url(), u"<xml/>"_s, createHttpRequest, &record);
            QFAIL("the post did not fail");
        } catch (const PostFailure &failure) {
            QCOMPARE(failure.number(), int(PostFailure::NetworkModule));
        }
    }
    QVERIFY(record.failure);
    QCOMPARE(record.failure->number, int(PostFailure::NetworkModule));
    QVERIFY2(record.failure->description.contains(u"网络模块"_s), qPrintable(record.failure->description));
    QVERIFY2(record.failure->description.contains(u"/nonexistent/veltrane-network.so"_s),
             qPrintable(record.failure->description));
    QVERIFY(server.requests().empty());
}

QTEST_GUILESS_MAIN(TestNetworkModule)
#include "test_network_module.moc"
