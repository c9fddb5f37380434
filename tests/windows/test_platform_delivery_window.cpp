#include "platform_delivery_entry.h"
#include "answer_gate.h"
#include "program_under_test.h"
#include "recording_server.h"

#include <QAction>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

class TestPlatformDeliveryWindow : public QObject {
    Q_OBJECT
private slots:
    void triesAsThePlatform_data();
    void triesAsThePlatform();
};

void TestPlatformDeliveryWindow::triesAsThePlatform_data()
{
    // How the endpoint answers each try in turn ("late": past the cut); after them, "success".
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("tries");
    QTest::addColumn<QString>("closing");
    QTest::newRow("answered at once") << QStringList{} << 1 << u"共 1 次，消息已送达"_s;
    QTest::newRow("an error status, then answered") << QStringList{u"500"_s} << 2 << u"共 2 次，消息已送达"_s;
    QTest::newRow("late every time") << QStringList{u"late"_s, u"late"_s, u"late"_s, u"late"_s} << 3
                                     << u"共 3 次，平台放弃投递"_s;
}

void TestPlatformDeliveryWindow::triesAsThePlatform()
{
    QFETCH(QStringList, answers);
    QFETCH(int, tries);
    QFETCH(QString, closing);
    AnswerGate gate;
    RecordingServer server;
    const auto release = qScopeGuard([&] { gate.open(); }); // before the server waits for its handlers
    std::atomic<int> asked = 0;
    server.setAnswerer([&](const RecordingServer::Request &) {
        const int index = asked++;
        const QString answer = index < answers.size() ? answers[index] : u"success"_s;
        if (answer == u"late")
            gate.pass();
        return RecordingServer::Answer{answer == u"500" ? 500 : 200, "text/plain", "success"};
    });
    ProgramUnderTest program;
    AccessSettings access;
    access.token = u"deliverytoken"_s;
    program.form.setAccessSettings(access);
    program.form.deliveryEntry().setCut(300ms);
    QAction *entry = program.form.deliveryEntry().action();
    QCOMPARE(entry->text(), u"平台投递"_s);
    QVERIFY(entry->isCheckable());
    entry->setChecked(true);
    program.enterEndpoint(server.url());
    QSignalSpy posted(&program.form, &Form1::posted);

    program.click("Command4");
    QTRY_VERIFY(program.resultShown());
    const QString shown = program.answerShown();
    QVERIFY2(shown.contains(closing), qPrintable(shown));
    QVERIFY2(shown.contains(u"第 %1 次："_s.arg(tries)) && !shown.contains(u"第 %1 次："_s.arg(tries + 1)), qPrintable(shown));
    // The same message each time, signed afresh.
    const std::vector<RecordingServer::Request> requests = server.requests();
    QCOMPARE(int(requests.size()), tries);
    for (std::size_t i = 1; i < requests.size(); ++i) {
        QCOMPARE(requests[i].body, requests[0].body);
        QVERIFY(requests[i].target != requests[i - 1].target);
    }
    // The exchange window lists every try, each saying what it got.
    QCOMPARE(posted.size(), tries);
    for (int i = 0; i < tries; ++i) {
        const auto outcome = posted[i][0].value<PushPostOutcome>();
        QVERIFY(!outcome.verdict.isEmpty());
        QVERIFY2(outcome.verdict.constFirst().text.startsWith(u"平台投递第 %1 次："_s.arg(i + 1)),
                 qPrintable(outcome.verdict.constFirst().text));
    }
}

QTEST_MAIN(TestPlatformDeliveryWindow)
#include "test_platform_delivery_window.moc"
