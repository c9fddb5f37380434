#include "exchange_actions.h"
#include "exchange_window.h"
#include "history/exchange_history.h"
#include "history_bar.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

PushPostOutcome outcome(const QString &url, long status = 200)
{
    PushPostOutcome made;
    made.record.started = QDateTime::currentDateTime();
    made.record.method = QStringLiteral("POST");
    made.record.url = url;
    ExchangeHop hop;
    hop.requestHead = "POST / HTTP/1.1\r\n\r\n";
    hop.requestBody = "<xml><MsgType><![CDATA[text]]></MsgType></xml>";
    hop.answerHead = "HTTP/1.1 " + QByteArray::number(qint64(status)) + " X\r\n\r\n";
    hop.answerBody = "success";
    hop.status = status;
    made.record.hops = {hop};
    made.verdict = {{status == 200 ? VerdictLine::Pass : VerdictLine::Fail, QStringLiteral("状态码")}};
    return made;
}

JournalEntry entry(const QString &url, long status = 200)
{
    JournalEntry made;
    made.record = outcome(url, status).record;
    made.verdict = outcome(url, status).verdict;
    return made;
}

int rows(const ExchangeWindow &window)
{
    return window.model().rowCount();
}

} // namespace

class TestExchangeHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void listsWhatEarlierRunsKept();
    void searchNarrowsTheList_data();
    void searchNarrowsTheList();
    void pagesFurtherBack();
    void clearAsksFirst_data();
    void clearAsksFirst();
    void exportsSelectedOrAll_data();
    void exportsSelectedOrAll();
    void saysOnceThatHistoryIsNotKept();

private:
    QString file() const { return dir_->filePath(QStringLiteral("history.sqlite")); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestExchangeHistoryWindow::listsWhatEarlierRunsKept()
{
    {
        ExchangeHistory history({file()});
        ExchangeWindow window;
        window.useHistory(history);
        window.add(entry(QStringLiteral("/1")));
        window.add(entry(QStringLiteral("/2")));
    }
    ExchangeHistory history({file()});
    ExchangeWindow window;
    window.useHistory(history);
    QCOMPARE(rows(window), 2);
    QCOMPARE(window.model().journal().at(0).record.url, QStringLiteral("/2"));
}

void TestExchangeHistoryWindow::searchNarrowsTheList_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("listedAfterAnotherFailure");
    QTest::newRow("nothing typed") << QString() << 3 << 4;
    QTest::newRow("status") << QStringLiteral("502") << 1 << 2;
    QTest::newRow("address") << QStringLiteral("/ok") << 2 << 2;
}

void TestExchangeHistoryWindow::searchNarrowsTheList()
{
    QFETCH(QString, search);
    QFETCH(int, listed);
    QFETCH(int, listedAfterAnotherFailure);
    ExchangeHistory history({file()});
    ExchangeWindow window;
    window.useHistory(history);
    window.add(entry(QStringLiteral("/ok/1")));
    window.add(entry(QStringLiteral("/down"), 502));
    window.add(entry(QStringLiteral("/ok/2")));
    QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("historySearch")), search);
    QCOMPARE(rows(window), listed);
    window.add(entry(QStringLiteral("/down/again"), 502)); // listed only where the search finds it
    QCOMPARE(rows(window), listedAfterAnotherFailure);
}

void TestExchangeHistoryWindow::pagesFurtherBack()
{
    ExchangeHistory history({file()});
    for (int i = 0; i < ExchangeJournal::kKept + 5; ++i)
        history.add(entry(QStringLiteral("/%1").arg(i)));
    ExchangeWindow window;
    window.useHistory(history);
    QCOMPARE(rows(window), ExchangeJournal::kKept);
    auto *older = window.findChild<QPushButton *>(QStringLiteral("olderExchanges"));
    QVERIFY(older->isEnabled());
    older->click();
    QCOMPARE(rows(window), ExchangeJournal::kKept + 5);
    QCOMPARE(window.model().journal().at(rows(window) - 1).record.url, QStringLiteral("/0"));
    QVERIFY(!older->isEnabled());
    window.add(entry(QStringLiteral("/new"))); // the oldest loaded stays listed
    QCOMPARE(rows(window), ExchangeJournal::kKept + 6);
}

void TestExchangeHistoryWindow::clearAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("cancelled") << false;
    QTest::newRow("confirmed") << true;
}

void TestExchangeHistoryWindow::clearAsksFirst()
{
    QFETCH(bool, yes);
    {
        ExchangeHistory history({file()});
        ExchangeWindow window;
        window.useHistory(history);
        window.add(entry(QStringLiteral("/1")));
        int asked = 0;
        window.historyBar().confirmClear = [&](QWidget *) { return ++asked, yes; };
        window.findChild<QPushButton *>(QStringLiteral("clearHistory"))->click();
        QCOMPARE(asked, 1);
        QCOMPARE(rows(window), yes ? 0 : 1);
    }
    QCOMPARE(ExchangeHistory({file()}).page({}, 0, 10).size(), yes ? 0 : 1);
}

void TestExchangeHistoryWindow::exportsSelectedOrAll_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("urls");
    QTest::newRow("selected") << "exportSelected" << QStringList{"http://127.0.0.1:1/a", "http://127.0.0.1:1/c"};
    QTest::newRow("all") << "exportAll" << QStringList{"http://127.0.0.1:1/a", "http://127.0.0.1:1/b", "http://127.0.0.1:1/c"};
}

void TestExchangeHistoryWindow::exportsSelectedOrAll()
{
    QFETCH(QString, action);
    QFETCH(QStringList, urls);
    ExchangeHistory history({file()});
    ExchangeWindow window;
    window.useHistory(history);
    for (const char *path : {"a", "b", "c"})
        window.add(entry(QStringLiteral("http://127.0.0.1:1/") + QLatin1String(path)));
    auto *list = window.findChild<QTableView *>(QStringLiteral("exchangeList"));
    list->selectionModel()->select(window.model().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(window.model().index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QString har = dir_->filePath(QStringLiteral("out.har"));
    window.historyBar().chooseHarFile = [&](QWidget *) { return har; };
    window.findChild<QAction *>(action)->trigger();

    QFile written(har);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QStringList exported;
    const QJsonArray entries = QJsonDocument::fromJson(written.readAll())["log"]["entries"].toArray();
    for (const QJsonValue &value : entries)
        exported.append(value["request"]["url"].toString());
    QCOMPARE(exported, urls); // oldest first
}

void TestExchangeHistoryWindow::saysOnceThatHistoryIsNotKept()
{
    // Where the history's folder should be, a file: nothing can be written.
    QFile blocker(dir_->filePath(QStringLiteral("data")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    ProgramWideWindow<Form2> results;
    Form1 form(results);
    ExchangeActions actions(form, results);
    actions.keepHistoryIn(dir_->filePath(QStringLiteral("data/history.sqlite")));

    actions.record(outcome(QStringLiteral("/1")));
    QVERIFY2(form.Label1()->text().contains(QStringLiteral("交互历史未能保存")), qPrintable(form.Label1()->text()));
    auto *problem = actions.window().findChild<QLabel *>(QStringLiteral("historyProblem"));
    QVERIFY(problem->text().contains(QStringLiteral("只留在内存")));
    QVERIFY(!problem->isHidden());

    form.showVerdict(outcome(QStringLiteral("/2")));
    actions.record(outcome(QStringLiteral("/2")));
    QVERIFY(!form.Label1()->text().contains(QStringLiteral("交互历史")));
    QCOMPARE(rows(actions.window()), 2); // both posts, kept in memory
}

QTEST_MAIN(TestExchangeHistoryWindow)
#include "test_exchange_history_window.moc"
