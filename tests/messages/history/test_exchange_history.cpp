#include "history/exchange_history.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace std::chrono_literals;

namespace {

KeptExchange exchange(const QString &url, long status, const QByteArray &body, VerdictLine::Outcome outcome = VerdictLine::Pass,
                      const QByteArray &answer = "success")
{
    KeptExchange entry;
    entry.record.started = QDateTime::currentDateTime();
    entry.record.method = QStringLiteral("POST");
    entry.record.url = url;
    ExchangeHop hop;
    hop.requestHead = "POST / HTTP/1.1\r\nContent-Type: text/xml\r\n\r\n";
    hop.requestBody = body;
    hop.answerHead = "HTTP/1.1 " + QByteArray::number(qint64(status)) + " X\r\n\r\n";
    hop.answerBody = answer;
    hop.status = status;
    entry.record.hops = {hop};
    entry.verdict = {{outcome, QStringLiteral("应答在 5 秒内")}};
    entry.whole.request = {body.size()};
    entry.whole.answer = {answer.size()};
    return entry;
}

KeptExchange textPush(const QString &url = QStringLiteral("http://127.0.0.1:1/wx"))
{
    return exchange(url, 200, "<xml><MsgType><![CDATA[text]]></MsgType><Content>退订</Content></xml>");
}

QStringList urlsOf(const QList<KeptExchange> &entries)
{
    QStringList urls;
    for (const KeptExchange &entry : entries)
        urls.append(entry.record.url);
    return urls;
}

// Another program's connection to the same file.
struct OtherConnection {
    QString name = QStringLiteral("other-program");
    explicit OtherConnection(const QString &file)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
    }
    ~OtherConnection()
    {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    bool exec(const QString &statement) { return QSqlQuery(QSqlDatabase::database(name)).exec(statement); }
    QVariant value(const QString &statement)
    {
        QSqlQuery query(QSqlDatabase::database(name));
        return query.exec(statement) && query.next() ? query.value(0) : QVariant();
    }
};

} // namespace

class TestExchangeHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void keptAcrossRuns();
    void fileIsTheOwnersOnly();
    void defaultFileIsInTheDataFolder();
    void boundsDropTheOldest_data();
    void boundsDropTheOldest();
    void searchFinds_data();
    void searchFinds();
    void pagesGoFurtherBack();
    void twoProgramsShareTheFile();
    void faultNeverStopsKeeping_data();
    void faultNeverStopsKeeping();
    void clearEmptiesIt();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString file_;
};

void TestExchangeHistory::initTestCase()
{
    // Never the user's own history.
    QStandardPaths::setTestModeEnabled(true);
}

void TestExchangeHistory::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    file_ = dir_->filePath(QStringLiteral("data/history.sqlite"));
}

void TestExchangeHistory::keptAcrossRuns()
{
    KeptExchange first = textPush(QStringLiteral("http://127.0.0.1:1/a?signature=s&timestamp=1"));
    first.record.plainMessage = QStringLiteral("<xml>明文</xml>");
    first.record.failure = ExchangeFailureNote{7, QStringLiteral("连接被拒绝")};
    first.group = 4;
    first.tryNumber = 2;
    first.answerFingerprint = 0xfeedface;
    first.record.hops[0].answerBody = QByteArray(kKeptBodyBytes + 10, 'a');
    first.whole.answer = {kKeptBodyBytes + 10};
    {
        ExchangeHistory history({file_});
        QVERIFY(history.keptInFile());
        history.add(first);
        history.add(exchange(QStringLiteral("http://127.0.0.1:1/b"), 500, "x", VerdictLine::Fail));
    }
    ExchangeHistory again({file_});
    const QList<KeptExchange> kept = again.page({}, 0, 10);
    QCOMPARE(urlsOf(kept), QStringList({"http://127.0.0.1:1/b", first.record.url}));
    const KeptExchange &read = kept.at(1);
    QCOMPARE(read.record.plainMessage, first.record.plainMessage);
    QCOMPARE(read.record.failure->description, QStringLiteral("连接被拒绝"));
    QCOMPARE(read.record.hops.at(0).requestBody, first.record.hops.at(0).requestBody);
    QCOMPARE(read.record.hops.at(0).answerBody.size(), kKeptBodyBytes); // the start, as the journal keeps it
    QCOMPARE(read.whole.answer, first.whole.answer);
    QCOMPARE(read.answerFingerprint, first.answerFingerprint);
    QCOMPARE(read.verdict.at(0).text, first.verdict.at(0).text);
    QCOMPARE(kept.at(0).verdict.at(0).outcome, VerdictLine::Fail);
    QCOMPARE(again.lastGroup(), 4);
}

void TestExchangeHistory::fileIsTheOwnersOnly()
{
    ExchangeHistory history({file_});
    history.add(textPush());
    QCOMPARE(QFile::permissions(file_) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
    const QFile::Permissions others = QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther;
    QCOMPARE(QFile::permissions(file_ + QStringLiteral("-wal")) & others, QFile::Permissions());
}

void TestExchangeHistory::defaultFileIsInTheDataFolder()
{
    QVERIFY(ExchangeHistory::defaultFile().startsWith(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    QVERIFY(ExchangeHistory::defaultFile().contains(QStringLiteral("qttest")));
}

void TestExchangeHistory::boundsDropTheOldest_data()
{
    QTest::addColumn<qsizetype>("maxExchanges");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("by count") << qsizetype(3) << qint64(1LL << 30) << QStringList{"/5", "/4", "/3"};
    // Each entry holds some 40 KB of body, twice (kept and searched).
    QTest::newRow("by size") << qsizetype(100) << qint64(170'000) << QStringList{"/5", "/4"};
}

void TestExchangeHistory::boundsDropTheOldest()
{
    QFETCH(qsizetype, maxExchanges);
    QFETCH(qint64, maxBytes);
    QFETCH(QStringList, left);
    HistoryOptions options{file_};
    options.maxExchanges = maxExchanges;
    options.maxBytes = maxBytes;
    ExchangeHistory history(options);
    for (int i = 1; i <= 5; ++i)
        history.add(exchange(QStringLiteral("/%1").arg(i), 200, QByteArray(40'000, 'b')));
    QCOMPARE(urlsOf(history.page({}, 0, 100)), left);
}

void TestExchangeHistory::searchFinds_data()
{
    QTest::addColumn<bool>("inMemory");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("found");
    for (const bool inMemory : {false, true}) {
        const char *where = inMemory ? "memory: " : "file: ";
        const auto row = [&](const char *name) -> QTestData & {
            return QTest::newRow((QByteArray(where) + name).constData()) << inMemory;
        };
        row("nothing typed: all") << QString() << QStringList{"/image", "/fail", "/text"};
        row("address") << QStringLiteral("FAIL") << QStringList{"/fail"};
        row("status") << QStringLiteral("503") << QStringList{"/fail"};
        row("verdict") << QStringLiteral("不通过") << QStringList{"/fail"};
        row("MsgType") << QStringLiteral("image") << QStringList{"/image"};
        row("request body") << QStringLiteral("退订") << QStringList{"/text"};
        row("answer body") << QStringLiteral("busy") << QStringList{"/fail"};
        row("a % is a percent sign") << QStringLiteral("100%") << QStringList{"/image"};
        row("an _ is an underscore") << QStringLiteral("_") << QStringList{};
        row("none") << QStringLiteral("no such thing") << QStringList{};
    }
}

void TestExchangeHistory::searchFinds()
{
    QFETCH(bool, inMemory);
    QFETCH(QString, search);
    QFETCH(QStringList, found);
    ExchangeHistory history({inMemory ? QString() : file_});
    history.add(textPush(QStringLiteral("/text")));
    history.add(exchange(QStringLiteral("/fail"), 503, "<xml/>", VerdictLine::Fail, "busy"));
    history.add(exchange(QStringLiteral("/image"), 200, "<xml><MsgType>image</MsgType><Note>100%</Note></xml>"));
    QCOMPARE(history.keptInFile(), !inMemory);
    QCOMPARE(urlsOf(history.page(search, 0, 10)), found);
}

void TestExchangeHistory::pagesGoFurtherBack()
{
    ExchangeHistory history({file_});
    for (int i = 1; i <= 5; ++i)
        history.add(exchange(QStringLiteral("/%1").arg(i), 200, "x"));
    QCOMPARE(urlsOf(history.page({}, 0, 2)), QStringList({"/5", "/4"}));
    QCOMPARE(urlsOf(history.page({}, 2, 2)), QStringList({"/3", "/2"}));
    QCOMPARE(urlsOf(history.page({}, 4, 2)), QStringList({"/1"}));
}

void TestExchangeHistory::twoProgramsShareTheFile()
{
    ExchangeHistory one({file_});
    ExchangeHistory two({file_});
    for (int i = 1; i <= 4; ++i)
        (i % 2 ? one : two).add(exchange(QStringLiteral("/%1").arg(i), 200, "x"));
    QVERIFY(one.keptInFile() && two.keptInFile());
    QCOMPARE(urlsOf(one.page({}, 0, 10)), QStringList({"/4", "/3", "/2", "/1"}));
    QCOMPARE(urlsOf(two.page({}, 0, 10)), QStringList({"/4", "/3", "/2", "/1"}));
    // Readers never wait on a writer, nor a writer on readers.
    QCOMPARE(OtherConnection(file_).value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
}

void TestExchangeHistory::faultNeverStopsKeeping_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("told");
    QTest::addColumn<bool>("keptInFile");
    QTest::newRow("corrupt file") << "corrupt" << "已损坏" << true;
    QTest::newRow("locked by another program") << "locked" << "另一个程序" << false;
    QTest::newRow("full disk") << "full" << "磁盘已满" << false;
    QTest::newRow("read-only folder") << "read-only" << "无法写入" << false;
    QTest::newRow("folder that is a file") << "not a folder" << "无法写入" << false;
}

void TestExchangeHistory::faultNeverStopsKeeping()
{
    QFETCH(QString, fault);
    QFETCH(QString, told);
    QFETCH(bool, keptInFile);
    HistoryOptions options{file_};
    options.busyTimeout = 50ms;
    std::unique_ptr<OtherConnection> other;
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("data"))));
    const QByteArray garbage = QByteArray("this is no database; ").repeated(400);
    if (fault == QLatin1String("corrupt")) {
        QFile file(file_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    } else if (fault == QLatin1String("locked")) {
        ExchangeHistory({file_}).add(textPush(QStringLiteral("/before")));
        other = std::make_unique<OtherConnection>(file_);
        QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(other->exec(QStringLiteral("DELETE FROM exchanges")));
    } else if (fault == QLatin1String("full")) {
        options.maxPageCount = 6;
    } else if (fault == QLatin1String("read-only")) {
        if (geteuid() == 0)
            QSKIP("root writes into a read-only folder all the same");
        QVERIFY(QFile::setPermissions(dir_->filePath(QStringLiteral("data")), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir(dir_->filePath(QStringLiteral("data"))).removeRecursively());
        QFile file(dir_->filePath(QStringLiteral("data")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    ExchangeHistory history(options);
    const qint64 id = history.add(exchange(QStringLiteral("/during"), 200, QByteArray(60'000, 'c')));
    const qint64 next = history.add(textPush(QStringLiteral("/after")));
    QCOMPARE(history.keptInFile(), keptInFile);
    QCOMPARE(id > 0, keptInFile);
    QVERIFY(next != id);
    const std::optional<QString> notice = history.takeNotice();
    QVERIFY2(notice && notice->contains(told), qPrintable(notice.value_or(QStringLiteral("(nothing said)"))));
    QVERIFY(!history.takeNotice()); // said once
    QCOMPARE(history.problem().isEmpty(), keptInFile);
    const QStringList listed = urlsOf(history.page({}, 0, 10)).mid(0, 2);
    QCOMPARE(listed, QStringList({"/after", "/during"}));

    if (fault == QLatin1String("corrupt")) {
        const QStringList aside = QDir(dir_->filePath(QStringLiteral("data"))).entryList({"history.sqlite.corrupt-*"});
        QCOMPARE(aside.size(), 1);
        QFile moved(dir_->filePath(QStringLiteral("data/") + aside.first()));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), garbage); // nothing of it lost
        ExchangeHistory reopened({file_});
        QCOMPARE(urlsOf(reopened.page({}, 0, 10)), QStringList({"/after", "/during"}));
    }
    if (other) {
        QVERIFY(other->exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(urlsOf(ExchangeHistory({file_}).page({}, 0, 10)), QStringList({"/before"}));
    }
}

void TestExchangeHistory::clearEmptiesIt()
{
    {
        ExchangeHistory history({file_});
        history.add(textPush());
        QVERIFY(history.clear());
        QVERIFY(history.page({}, 0, 10).isEmpty());
    }
    QVERIFY(ExchangeHistory({file_}).page({}, 0, 10).isEmpty());
}

QTEST_GUILESS_MAIN(TestExchangeHistory)
#include "test_exchange_history.moc"
