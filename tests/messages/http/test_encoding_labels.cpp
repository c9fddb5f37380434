#include "http/encoding_labels.h"

#include <QStringDecoder>
#include <QTest>

class TestEncodingLabels : public QObject {
    Q_OBJECT
private slots:
    void labelToDecoder_data();
    void labelToDecoder();
    void everyDecoderIsValid();
    void decodesLikeTheStandard_data();
    void decodesLikeTheStandard();
};

void TestEncodingLabels::labelToDecoder_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QByteArray>("decoder");

    QTest::newRow("utf-8 padded and upper case") << QByteArray("\t\n\f\r UTF-8 \r\n") << QByteArray("UTF-8");
    QTest::newRow("latin1 is windows-1252") << QByteArray("latin1") << QByteArray("windows-1252");
    QTest::newRow("us-ascii is windows-1252") << QByteArray("US-ASCII") << QByteArray("windows-1252");
    QTest::newRow("iso-8859-9 is windows-1254") << QByteArray("ISO_8859-9:1989") << QByteArray("windows-1254");
    QTest::newRow("tis-620 is windows-874") << QByteArray("tis-620") << QByteArray("windows-874");
    QTest::newRow("logical is iso-8859-8-i") << QByteArray("logical") << QByteArray("ISO-8859-8");
    QTest::newRow("koi8-ru is koi8-u") << QByteArray("koi8-ru") << QByteArray("KOI8-U");
    QTest::newRow("x-mac-ukrainian") << QByteArray("x-mac-ukrainian") << QByteArray("x-mac-cyrillic");
    QTest::newRow("gb2312 is gbk") << QByteArray("gb2312") << QByteArray("GB18030");
    QTest::newRow("x-gbk padded") << QByteArray(" X-GBK\t") << QByteArray("GB18030");
    QTest::newRow("gb18030") << QByteArray("gb18030") << QByteArray("GB18030");
    QTest::newRow("big5-hkscs is big5") << QByteArray("big5-hkscs") << QByteArray("Big5-HKSCS");
    QTest::newRow("ms932 is shift_jis") << QByteArray("MS932") << QByteArray("windows-31j");
    QTest::newRow("ks_c_5601-1987 is euc-kr") << QByteArray("ks_c_5601-1987") << QByteArray("windows-949");
    QTest::newRow("csiso2022jp") << QByteArray("csiso2022jp") << QByteArray("ISO-2022-JP");
    QTest::newRow("hz-gb-2312 is replacement") << QByteArray("hz-gb-2312") << QByteArray("replacement");
    QTest::newRow("utf-16 is utf-16le") << QByteArray("utf-16") << QByteArray("UTF-16LE");
    QTest::newRow("unicode is utf-16le") << QByteArray("Unicode") << QByteArray("UTF-16LE");
    QTest::newRow("unicodefffe is utf-16be") << QByteArray("unicodeFFFE") << QByteArray("UTF-16BE");
    QTest::newRow("x-user-defined") << QByteArray("x-user-defined") << QByteArray("x-user-defined");

    QTest::newRow("empty") << QByteArray("") << QByteArray();
    QTest::newRow("only whitespace") << QByteArray(" \t\r\n") << QByteArray();
    QTest::newRow("utf-7") << QByteArray("utf-7") << QByteArray();
    QTest::newRow("nonsense") << QByteArray("nonsense") << QByteArray();
    QTest::newRow("gbk2") << QByteArray("gbk2") << QByteArray();
    QTest::newRow("space inside") << QByteArray("utf 8") << QByteArray();
    QTest::newRow("vertical tab is not trimmed") << QByteArray("utf-8\v") << QByteArray();
    QTest::newRow("kelvin sign is not k") << QByteArray("\xE2\x84\xAAoi8-r") << QByteArray();
}

void TestEncodingLabels::labelToDecoder()
{
    QFETCH(QByteArray, label);
    QFETCH(QByteArray, decoder);
    QCOMPARE(decoderForEncodingLabel(label), decoder);
}

void TestEncodingLabels::everyDecoderIsValid()
{
    const QList<QByteArray> names = encodingLabelDecoders();
    QVERIFY(names.contains("replacement"));
    QVERIFY(names.contains("x-user-defined"));
    for (const QByteArray &name : names) {
        if (name == "replacement" || name == "x-user-defined")
            continue;
        QVERIFY2(QStringDecoder(name.constData()).isValid(), name.constData());
    }
}

void TestEncodingLabels::decodesLikeTheStandard_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("gb2312") << QByteArray("gb2312") << QByteArray::fromHex("C4E3BAC3") << QStringLiteral("你好");
    QTest::newRow("gbk four-byte sequence") << QByteArray("gbk") << QByteArray::fromHex("81308130")
                                            << QStringLiteral("\u0080");
    QTest::newRow("big5") << QByteArray("big5") << QByteArray::fromHex("A4A4A4E5") << QStringLiteral("中文");
    QTest::newRow("big5 hkscs character") << QByteArray("big5") << QByteArray::fromHex("9DEF") << QStringLiteral("嘅");
    QTest::newRow("iso-8859-1 reads 0x80 as euro") << QByteArray("iso-8859-1") << QByteArray::fromHex("8081")
                                                   << QStringLiteral("€\u0081");
    QTest::newRow("sjis") << QByteArray("sjis") << QByteArray::fromHex("93FA967B") << QStringLiteral("日本");
    QTest::newRow("sjis backslash and tilde") << QByteArray("sjis") << QByteArray::fromHex("5C8160")
                                              << QStringLiteral("\\～");
    QTest::newRow("euc-kr extended hangul") << QByteArray("euc-kr") << QByteArray::fromHex("B0A18141")
                                            << QStringLiteral("가갂");
}

void TestEncodingLabels::decodesLikeTheStandard()
{
    QFETCH(QByteArray, label);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QByteArray name = decoderForEncodingLabel(label);
    QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
    QVERIFY2(decoder.isValid(), name.constData());
    const QString decoded = decoder.decode(bytes);
    QCOMPARE(decoded, text);
    QVERIFY(!decoder.hasError());
}

QTEST_APPLESS_MAIN(TestEncodingLabels)
#include "test_encoding_labels.moc"
