#include "xml/partwise_xml_reader.h"
#include "xml/xml_fields.h"

#include <QTest>

namespace {

// Every token with its name or text, then how the reading ended.
template <class Reader, class Next>
QStringList tokensOf(Reader &reader, Next next)
{
    QStringList seen;
    while (!reader.atEnd()) {
        next();
        const QXmlStreamReader &r = reader;
        seen.append(r.tokenString() + u' ' + r.name().toString() + u' ' + r.text().toString());
    }
    const QXmlStreamReader &r = reader;
    seen.append(QStringLiteral("%1 %2:%3 %4").arg(int(r.error())).arg(r.lineNumber()).arg(r.columnNumber()).arg(r.errorString()));
    return seen;
}

// The reader of a partwise one, for tokensOf.
struct Partwise {
    PartwiseXmlReader reader;
    bool atEnd() const { return reader.atEnd(); }
    operator const QXmlStreamReader &() const { return reader.reader(); }
};

} // namespace

class TestXmlReading : public QObject {
    Q_OBJECT
private slots:
    void partwiseReadsAsWhole_data();
    void partwiseReadsAsWhole();
    void rootChildFields_data();
    void rootChildFields();
};

void TestXmlReading::partwiseReadsAsWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("complete") << QStringLiteral("<xml><a>1</a><b>x<c>y</c>z</b></xml>");
    QTest::newRow("text after the root") << QStringLiteral("<xml><a>1</a></xml>trailing");
    QTest::newRow("a second root after a line break") << QStringLiteral("<item>x</item>\r\n<item>y</item>");
    QTest::newRow("space, a comment, a second root") << QStringLiteral("<xml/>  \n<!-- c -->\n<?pi x?> <b/>");
    QTest::newRow("space and a comment only") << QStringLiteral("<xml><a>1</a></xml>\r\n<!-- c -->\r\n  ");
    QTest::newRow("cut off") << QStringLiteral("<xml><a>1</a>");
    QTest::newRow("empty") << QString();
    QTest::newRow("space") << QStringLiteral("   ");
    QTest::newRow("no XML") << QStringLiteral("{\"errcode\": 40001}");
    QTest::newRow("declared GBK, surrogate pairs") << QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?><xml>中文😀😀<a>😀</a></xml>");
    QTest::newRow("surrogate pairs, then a second root") << QStringLiteral("<xml>😀<a>😀😀</a></xml>\n😀<b/>");
    QTest::newRow("undeclared entity") << QStringLiteral("<xml>a&nbsp;b</xml>");
    QTest::newRow("CDATA and references") << QStringLiteral("<xml><![CDATA[a<b]]>&amp;&#x1F600;</xml>");
}

// Whatever the size of the parts, down to one character, the tokens and the
// error with its line and column are those of the whole text read at once.
void TestXmlReading::partwiseReadsAsWhole()
{
    QFETCH(QString, text);
    QXmlStreamReader whole(text);
    const QStringList expected = tokensOf(whole, [&] { return whole.readNext(); });
    for (qsizetype part = 1; part <= text.size() + 1; ++part) {
        Partwise partwise{PartwiseXmlReader(text, part)};
        const QStringList seen = tokensOf(partwise, [&] { return partwise.reader.readNext(); });
        QVERIFY2(seen == expected, qPrintable(QStringLiteral("parts of %1: %2").arg(part).arg(seen.join(u" | "))));
    }
}

void TestXmlReading::rootChildFields_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("expected"); // name=text, in name order
    QTest::newRow("children's own text") << QStringLiteral("<xml><A>1</A><B><![CDATA[b]]>&amp;</B></xml>") << QStringList{"A=1", "B=b&"};
    QTest::newRow("the first of a name") << QStringLiteral("<xml><A>1</A><A>2</A></xml>") << QStringList{"A=1"};
    QTest::newRow("grandchildren left out") << QStringLiteral("<xml><A>x<C>no</C>y</A><C>yes</C></xml>") << QStringList{"A=xy", "C=yes"};
    QTest::newRow("up to the first error") << QStringLiteral("<xml><A>1</A><B>2</C></xml>") << QStringList{"A=1"};
    QTest::newRow("nothing after the root") << QStringLiteral("<xml><A>1</A></xml><xml><B>2</B></xml>") << QStringList{"A=1"};
    QTest::newRow("no XML") << QStringLiteral("Internal Server Error") << QStringList{};
}

void TestXmlReading::rootChildFields()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, expected);
    const QMap<QString, QString> fields = ::rootChildFields(xml);
    QStringList seen;
    for (auto field = fields.cbegin(); field != fields.cend(); ++field)
        seen.append(field.key() + u'=' + field.value());
    QCOMPARE(seen, expected);
}

QTEST_GUILESS_MAIN(TestXmlReading)
#include "test_xml_reading.moc"
