#include "exchange_details.h"
#include "exchange_window.h"
#include "toolkit/text_boxes.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

JournalEntry exchange(const QString &url, const QByteArray &answer, QList<VerdictLine> verdict = {},
                      const QByteArray &contentType = "text/plain; charset=utf-8")
{
    ExchangeHop hop;
    hop.requestHead = "POST /api/ HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/XML\r\n\r\n";
    hop.requestBody = "<xml>\r\n</xml>";
    hop.answerHead = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\n\r\n";
    hop.answerBody = answer;
    hop.status = 200;
    hop.connectedMs = 1;
    hop.firstByteMs = 2;
    hop.wholeMs = 3;
    JournalEntry entry;
    entry.record.started = QDateTime::currentDateTime();
    entry.record.method = QStringLiteral("POST");
    entry.record.url = url;
    entry.record.hops = {hop};
    entry.record.contentType = contentType;
    entry.record.decodingUsed = QStringLiteral("UTF-8");
    entry.record.elapsedMs = 3;
    entry.verdict = std::move(verdict);
    return entry;
}

QString cell(const ExchangeWindow &window, int row, int column)
{
    return window.model().index(row, column).data().toString();
}

MultiLineTextBox *textView(const ExchangeWindow &window, const QString &name)
{
    const auto views = window.findChildren<MultiLineTextBox *>();
    const auto found = std::find_if(views.begin(), views.end(),
                                    [&](MultiLineTextBox *view) { return view->accessibleName() == name; });
    return found == views.end() ? nullptr : *found;
}

MultiLineTextBox *answerView(const ExchangeWindow &window)
{
    return textView(window, u"收到的应答"_s);
}

} // namespace

class TestExchangeWindow : public QObject {
    Q_OBJECT
private slots:
    void listsNewestFirstAndKeepsTheLast200();
    void verdictMark_data();
    void verdictMark();
    void hexShowsTheBytesOfABom();
    void listedAndShown_data();
    void listedAndShown();
    void retriesAreComparedWhole_data();
    void retriesAreComparedWhole();
    void longBodiesAreShownInPart_data();
    void longBodiesAreShownInPart();
};

void TestExchangeWindow::listsNewestFirstAndKeepsTheLast200()
{
    ExchangeWindow window;
    QAbstractItemModelTester tester(const_cast<ExchangeListModel *>(&window.model()),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const ExchangeJournal &journal = window.model().journal();
    for (int i = 1; i <= 205; ++i) {
        JournalEntry entry = exchange(QStringLiteral("http://127.0.0.1/%1").arg(i), "ok");
        if (i == 1)
            entry.record.hops[0].requestBody = QByteArray(ExchangeJournal::kKeptBytes + 1, 'x');
        window.add(entry);
        // The newest keep their bodies whole, every older one is cut.
        QVERIFY(!journal.at(std::min(journal.size(), ExchangeJournal::kWholeEntries) - 1).cut);
        QCOMPARE(journal.at(journal.size() - 1).cut, journal.size() > ExchangeJournal::kWholeEntries);
        // The first, its request past what is kept, offers no curl command once cut.
        if (i <= ExchangeJournal::kKept)
            QCOMPARE(curlCommandFor(journal.at(i - 1)).has_value(), i <= ExchangeJournal::kWholeEntries);
    }

    QCOMPARE(window.model().rowCount(), 200);
    QCOMPARE(cell(window, 0, ExchangeListModel::Url), u"http://127.0.0.1/205");
    QCOMPARE(cell(window, 199, ExchangeListModel::Url), u"http://127.0.0.1/6");
    // The newest is the one shown.
    QCOMPARE(window.selectedEntry()->record.url, u"http://127.0.0.1/205");

    // Looking at an older one, the user is not moved by a new post.
    window.selectRow(3);
    window.add(exchange(QStringLiteral("http://127.0.0.1/206"), "ok"));
    QCOMPARE(window.selectedEntry()->record.url, u"http://127.0.0.1/202");
}

void TestExchangeWindow::verdictMark_data()
{
    QTest::addColumn<QList<VerdictLine>>("lines");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("spoken");
    const VerdictLine pass{VerdictLine::Pass, QStringLiteral("状态 200")};
    const VerdictLine warn{VerdictLine::Warn, QStringLiteral("空应答")};
    const VerdictLine fail{VerdictLine::Fail, QStringLiteral("超过 5 秒")};
    QTest::newRow("all pass") << QList{pass, pass} << u"✔ 通过"_s << u"判定：通过"_s;
    QTest::newRow("a warning") << QList{pass, warn} << u"⚠ 注意"_s << u"判定：注意"_s;
    QTest::newRow("a failure after a warning") << QList{warn, fail, pass} << u"✘ 不通过"_s << u"判定：不通过"_s;
}

void TestExchangeWindow::verdictMark()
{
    QFETCH(QList<VerdictLine>, lines);
    QFETCH(QString, shown);
    QFETCH(QString, spoken);
    ExchangeWindow window;
    window.add(exchange(QStringLiteral("http://127.0.0.1/"), "ok", lines));
    const QModelIndex verdict = window.model().index(0, ExchangeListModel::Verdict);
    QCOMPARE(verdict.data().toString(), shown);
    QCOMPARE(verdict.data(Qt::AccessibleTextRole).toString(), spoken);
    QVERIFY(verdict.data(Qt::ForegroundRole).value<QColor>().isValid());
}

void TestExchangeWindow::hexShowsTheBytesOfABom()
{
    ExchangeWindow window;
    JournalEntry bom = exchange(QStringLiteral("http://127.0.0.1/"), "\xEF\xBB\xBFsuccess");
    bom.record.answerText = u"success"_s;
    window.add(bom);
    // Listed while hidden, shown when the window is.
    window.show();
    MultiLineTextBox *answer = answerView(window);
    QVERIFY(answer);
    QVERIFY(answer->text().contains(u"\r\n\r\nsuccess"));
    // Shown from the bytes alone: no second copy of a large answer is kept.
    QVERIFY(window.model().journal().at(0).record.answerText.isNull());

    window.findChild<QCheckBox *>()->setChecked(true);
    QVERIFY2(answer->text().contains(u"00000000  ef bb bf 73 75 63 63 65  73 73"), qPrintable(answer->text()));
    QVERIFY(answer->text().contains(u"|...success|"));
}

// How an exchange is listed (status, answer size) and shown (a part of each pane).
void TestExchangeWindow::listedAndShown_data()
{
    QTest::addColumn<JournalEntry>("entry");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("answer");

    JournalEntry failed;
    failed.record.started = QDateTime::currentDateTime();
    failed.record.method = QStringLiteral("POST");
    failed.record.url = QStringLiteral("http://127.0.0.1:9/");
    ExchangeHop hop;
    hop.requestHead = "POST / HTTP/1.1\r\n\r\n";
    failed.record.hops = {hop};
    failed.record.failure = ExchangeFailureNote{1, QStringLiteral("无法连接到 127.0.0.1:9：连接被拒绝")};
    failed.verdict = {{VerdictLine::Fail, QStringLiteral("没有应答：无法连接")}};
    QTest::newRow("failed") << failed << false << u"失败：无法连接到 127.0.0.1:9：连接被拒绝"_s << u"—"_s << u"POST / HTTP/1.1"_s
                            << u"（没有收到应答）\n\n失败（1）：无法连接到 127.0.0.1:9：连接被拒绝"_s;

    JournalEntry redirected = exchange(QStringLiteral("http://127.0.0.1/"), "ok");
    ExchangeHop moved = redirected.record.hops.constFirst();
    moved.answerHead = "HTTP/1.1 307 Temporary Redirect\r\nLocation: /b\r\n\r\n";
    moved.answerBody = "moved to /b";
    moved.status = 307;
    redirected.record.hops.prepend(moved);
    QTest::newRow("redirected") << redirected << false << u"200"_s << u"2"_s << u"—— 第 2 跳 ——"_s << u"Location: /b"_s;

    QTest::newRow("DEL in hex") << exchange(QStringLiteral("http://127.0.0.1/"), "a\x7f") << true << u"200"_s << u"2"_s
                                << u"|<xml>..</xml>|"_s << u"|a.|"_s;

    JournalEntry encrypted = exchange(QStringLiteral("http://127.0.0.1/"), "success");
    encrypted.record.hops[0].requestBody = "<xml><Encrypt><![CDATA[c2VjcmV0]]></Encrypt></xml>";
    encrypted.record.plainMessage = u"<xml>明文</xml>"_s;
    QTest::newRow("encrypted") << encrypted << false << u"200"_s << u"7"_s << u"—— 加密前的消息 ——\n<xml>明文</xml>"_s
                               << u"success"_s;
}

void TestExchangeWindow::listedAndShown()
{
    QFETCH(JournalEntry, entry);
    QFETCH(bool, hex);
    QFETCH(QString, status);
    QFETCH(QString, size);
    QFETCH(QString, request);
    QFETCH(QString, answer);
    ExchangeWindow window;
    window.show();
    window.findChild<QCheckBox *>()->setChecked(hex);
    window.add(entry);
    QCOMPARE(cell(window, 0, ExchangeListModel::Status), status);
    QCOMPARE(cell(window, 0, ExchangeListModel::AnswerSize), size);
    // The box gives its lines back joined by CR LF.
    const QString shownRequest = textView(window, u"发出的请求"_s)->text().replace(u"\r\n"_s, u"\n"_s);
    QVERIFY2(shownRequest.contains(request), qPrintable(shownRequest));
    const QString shownAnswer = textView(window, u"收到的应答"_s)->text().replace(u"\r\n"_s, u"\n"_s);
    QVERIFY2(shownAnswer.contains(answer), qPrintable(shownAnswer));
}

void TestExchangeWindow::retriesAreComparedWhole_data()
{
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("note");
    const QByteArray answer(ExchangeJournal::kKeptBytes + 10, 'a');
    QTest::newRow("the same") << answer << u"应答相同"_s;
    QTest::newRow("past what is kept") << QByteArray(answer).replace(answer.size() - 1, 1, "b") << u"应答不同"_s;
    QTest::newRow("longer") << answer + 'a' << u"应答不同"_s;
}

// A large answer is kept only in part, but the tries of one retry are told
// alike or not by the whole of it.
void TestExchangeWindow::retriesAreComparedWhole()
{
    QFETCH(QByteArray, second);
    QFETCH(QString, note);
    ExchangeWindow window;
    window.show();
    const int group = window.newGroup();
    const QByteArray first(ExchangeJournal::kKeptBytes + 10, 'a');
    for (const QByteArray &answer : {first, second}) {
        JournalEntry entry = exchange(QStringLiteral("http://127.0.0.1/"), answer);
        entry.group = group;
        entry.tryNumber = window.model().journal().size() + 1;
        window.add(entry);
    }
    const QStringList labels = [&] {
        QStringList texts;
        for (const QLabel *label : window.findChildren<QLabel *>())
            texts.append(label->text());
        return texts;
    }();
    QVERIFY2(labels.join(u'|').contains(note), qPrintable(labels.join(u'|')));
}

void TestExchangeWindow::longBodiesAreShownInPart_data()
{
    QTest::addColumn<bool>("hex");
    QTest::newRow("text") << false;
    QTest::newRow("hex") << true;
}

void TestExchangeWindow::longBodiesAreShownInPart()
{
    QFETCH(bool, hex);
    const qsizetype size = 10 * 1024 * 1024;
    ExchangeWindow window;
    window.show();
    window.findChild<QCheckBox *>()->setChecked(hex);
    window.add(exchange(QStringLiteral("http://127.0.0.1/"), QByteArray(size, 'a')));
    const QString shown = answerView(window)->text();
    QVERIFY(shown.contains(QStringLiteral("后面还有 %1 字节").arg(size - kShownBytes)));
    QVERIFY(shown.size() < 5 * kShownBytes + 4096);
}

QTEST_MAIN(TestExchangeWindow)
#include "test_exchange_window.moc"
