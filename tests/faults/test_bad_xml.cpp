// Faults in the XML box: very much text, characters that are no XML, and
// every kind of line break. Each case puts the text in the box as a paste
// would, posts it from the main window, and checks what the endpoint got,
// that both boxes keep what the user put there, and that the program goes on.

#include "fault_program.h"
#include "recording_server.h"

using namespace Qt::Literals::StringLiterals;

class TestBadXml : public QObject {
    Q_OBJECT
private slots:
    void postedAsUtf8_data();
    void postedAsUtf8();
    void oneMegabyteArrivesByteForByte();

private:
    void postAndCompare(const QString &pasted, const QString &shown, const QByteArray &sent);
};

void TestBadXml::postAndCompare(const QString &pasted, const QString &shown, const QByteArray &sent)
{
    RecordingServer server;
    server.setAnswer({200, "text/plain; charset=utf-8", "received"});
    FaultProgram program;
    program.enterEndpoint(server.url());
    program.enterXml(pasted);
    QCOMPARE(program.xmlBox()->text(), shown);

    const auto seen = program.post();

    FAULT_CHECK(verifyAnswerShown(program, seen, u"received"_s));
    const auto requests = server.requests();
    QCOMPARE(requests.size(), 1u);
    const QByteArray body = QByteArray::fromStdString(requests.front().body);
    QVERIFY2(body == sent, qPrintable(u"sent %1, expected %2"_s.arg(QString::fromLatin1(body.left(200).toHex(' ')),
                                                                     QString::fromLatin1(sent.left(200).toHex(' ')))));
    FAULT_CHECK(verifyBoxesKept(program, server.url(), shown));
    FAULT_CHECK(verifyStillResponsive(program));
}

void TestBadXml::postedAsUtf8_data()
{
    // The box gives its text back with CR LF between lines, and that text
    // goes out as UTF-8. A lone surrogate is no character: it goes out as
    // U+FFFD (EF BF BD), as browsers encode a string they send.
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("shown"); // what the box gives back
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("control characters")
        << u"<a>\x01\x1b[31m\x7f\b</a>"_s << u"<a>\x01\x1b[31m\x7f\b</a>"_s << "<a>\x01\x1b[31m\x7f\b</a>"_ba;
    QTest::newRow("vertical tab and form feed")
        << u"<a>\x0b\x0c</a>"_s << u"<a>\x0b\x0c</a>"_s << "<a>\x0b\x0c</a>"_ba;
    QTest::newRow("C1 control and no-break space")
        << u"<a>\u0085\u00A0</a>"_s << u"<a>\u0085\u00A0</a>"_s << "<a>\xC2\x85\xC2\xA0</a>"_ba;
    QTest::newRow("surrogate pair")
        << u"<a>😀</a>"_s << u"<a>😀</a>"_s << "<a>\xF0\x9F\x98\x80</a>"_ba;
    QTest::newRow("lone high surrogate")
        << u"<a>"_s + QChar(0xD83D) + u"</a>"_s << u"<a>"_s + QChar(0xD83D) + u"</a>"_s
        << "<a>\xEF\xBF\xBD</a>"_ba;
    QTest::newRow("lone low surrogate")
        << u"<a>"_s + QChar(0xDE00) + u"</a>"_s << u"<a>"_s + QChar(0xDE00) + u"</a>"_s
        << "<a>\xEF\xBF\xBD</a>"_ba;
    QTest::newRow("surrogates the wrong way round")
        << u"<a>"_s + QChar(0xDE00) + QChar(0xD83D) + u"</a>"_s
        << u"<a>"_s + QChar(0xDE00) + QChar(0xD83D) + u"</a>"_s << "<a>\xEF\xBF\xBD\xEF\xBF\xBD</a>"_ba;
    QTest::newRow("high surrogate at the very end")
        << u"<a/>"_s + QChar(0xD83D) << u"<a/>"_s + QChar(0xD83D) << "<a/>\xEF\xBF\xBD"_ba;

    QTest::newRow("CR, LF and CR LF mixed")
        << u"<a>\r<b/>\n<c/>\r\n</a>"_s << u"<a>\r\n<b/>\r\n<c/>\r\n</a>"_s << "<a>\r\n<b/>\r\n<c/>\r\n</a>"_ba;
    QTest::newRow("CR CR LF is two breaks")
        << u"<a>\r\r\n</a>"_s << u"<a>\r\n\r\n</a>"_s << "<a>\r\n\r\n</a>"_ba;
    QTest::newRow("LF CR is two breaks")
        << u"<a>\n\r</a>"_s << u"<a>\r\n\r\n</a>"_s << "<a>\r\n\r\n</a>"_ba;
    QTest::newRow("blank lines and a break at the end")
        << u"\n\n<a/>\r\n\r\n"_s << u"\r\n\r\n<a/>\r\n\r\n"_s << "\r\n\r\n<a/>\r\n\r\n"_ba;
}

void TestBadXml::postedAsUtf8()
{
    QFETCH(QString, pasted);
    QFETCH(QString, shown);
    QFETCH(QByteArray, sent);
    postAndCompare(pasted, shown, sent);
}

void TestBadXml::oneMegabyteArrivesByteForByte()
{
    // 1 MB (2^20 UTF-16 code units) of lines with Chinese in them, CR LF
    // between them, as the box gives them back.
    const QString end = u"</xml>"_s;
    QString text = u"<xml>\r\n"_s;
    for (int i = 0;; ++i) {
        const QString line = u"<Content n=\"%1\"><![CDATA[位置信息 %1 & <tag>]]></Content>\r\n"_s.arg(i, 6, 10, QLatin1Char('0'));
        if (text.size() + line.size() + end.size() > (1 << 20))
            break;
        text += line;
    }
    text += QString((1 << 20) - text.size() - end.size(), u'.') + end;
    QCOMPARE(text.size(), 1 << 20);
    postAndCompare(text, text, text.toUtf8());
}

QTEST_MAIN(TestBadXml)
#include "test_bad_xml.moc"
