#include "http/response_text.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestResponseText : public QObject {
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
};

// "-" stands for an answer with no Content-Type field at all.
void TestResponseText::decodes_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    const QByteArray gbkHello = "\xC4\xE3\xBA\xC3";
    const QByteArray big5Chinese = "\xA4\xA4\xA4\xE5";
    QTest::newRow("charset gbk") << "text/plain; charset=gbk"_ba << gbkHello << u"你好"_s;
    QTest::newRow("gb2312 reads as gb18030") << "text/xml;charset=gb2312"_ba << "\x94\x39\xFC\x36"_ba << u"😀"_s;
    QTest::newRow("charset quoted, upper case") << "text/html; charset=\"GB18030\""_ba << gbkHello << u"你好"_s;
    QTest::newRow("charset big5") << "text/plain; charset=big5"_ba << big5Chinese << u"中文"_s;
    QTest::newRow("latin1 label is windows-1252") << "text/plain; charset=ISO-8859-1"_ba << "\x80"_ba << u"€"_s;
    QTest::newRow("no charset: UTF-8") << "text/plain"_ba << "\xE4\xBD\x8D"_ba << u"位"_s;

    QTest::newRow("UTF-16LE mark, no type") << "-"_ba << "\xFF\xFE\x60\x4F\x7D\x59"_ba << u"你好"_s;
    QTest::newRow("UTF-16BE mark beats charset") << "text/plain; charset=gbk"_ba << "\xFE\xFF\x4F\x60\x59\x7D"_ba << u"你好"_s;
    QTest::newRow("UTF-8 mark beats charset") << "text/plain; charset=big5"_ba << "\xEF\xBB\xBF\xE4\xBD\x8D"_ba << u"位"_s;
    QTest::newRow("a second mark is text") << "-"_ba << "\xEF\xBB\xBF\xEF\xBB\xBFx"_ba << u"\uFEFFx"_s;

    const QByteArray gbkDeclared = "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>" + gbkHello + "</a>";
    const QString gbkDeclaredText = u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>你好</a>"_s;
    QTest::newRow("XML declaration, text/xml") << "text/xml"_ba << gbkDeclared << gbkDeclaredText;
    QTest::newRow("XML declaration, +xml type") << "application/atom+xml"_ba << gbkDeclared << gbkDeclaredText;
    QTest::newRow("XML declaration, no type") << "-"_ba << gbkDeclared << gbkDeclaredText;
    QTest::newRow("XML declaration, unparsable type") << "nonsense"_ba << gbkDeclared << gbkDeclaredText;
    QTest::newRow("XML declaration, unknown charset") << "text/xml; charset=nonsense"_ba << gbkDeclared << gbkDeclaredText;
    QTest::newRow("charset beats XML declaration")
        << "application/xml; charset=utf-8"_ba << "<?xml version='1.0' encoding='big5'?>\xE4\xBD\x8D"_ba
        << u"<?xml version='1.0' encoding='big5'?>位"_s;
    QTest::newRow("XML declaration ignored for text/plain")
        << "text/plain"_ba << "<?xml version='1.0' encoding='big5'?>\xE4\xBD\x8D"_ba
        << u"<?xml version='1.0' encoding='big5'?>位"_s;
    QTest::newRow("declared UTF-16 without a mark is UTF-8")
        << "text/xml"_ba << "<?xml version='1.0' encoding='utf-16'?>\xE4\xBD\x8D"_ba
        << u"<?xml version='1.0' encoding='utf-16'?>位"_s;

    QTest::newRow("invalid UTF-8 becomes U+FFFD") << "text/plain"_ba << "a\xFF" "b"_ba << u"a\uFFFDb"_s;
    QTest::newRow("sequence cut off at the end") << "text/plain"_ba << "\xE4\xBD\x8D\xE4\xBD"_ba << u"位\uFFFD"_s;
    QTest::newRow("sequence cut short: one U+FFFD") << "-"_ba << "\xE4\xBD<\xF0\x9F\x98>"_ba << u"\uFFFD<\uFFFD>"_s;
    QTest::newRow("surrogate and overlong forms") << "-"_ba << "\xED\xA0\x80\xC0\xAF"_ba << u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"_s;
    QTest::newRow("invalid GBK becomes U+FFFD") << "text/plain; charset=gbk"_ba << "\xC4\xE3\xFF"_ba << u"你\uFFFD"_s;
    QTest::newRow("NUL bytes kept") << "text/plain"_ba << QByteArray("a\0b", 3) << QString(u"a\0b"_s);
    QTest::newRow("empty") << "text/xml; charset=gbk"_ba << QByteArray() << QString();
}

void TestResponseText::decodes()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    const std::optional<QByteArray> type = contentType == "-" ? std::nullopt : std::optional(contentType);
    QCOMPARE(decodeResponseText(body, type), text);
}

QTEST_APPLESS_MAIN(TestResponseText)
#include "test_response_text.moc"
