// A HAR written by veltrane-post, read by npm's har-validator (the HAR 1.2
// schema tools and browsers' importers hold files to).
#include "program_run.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

class TestInteropHar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_node = QStandardPaths::findExecutable(u"node"_s);
        if (m_node.isEmpty())
            QSKIP("node is not installed");
        if (!QDir(QStringLiteral(VELTRANE_HAR_PREFIX "/node_modules")).exists(u"har-validator/package.json"_s))
            QSKIP("the npm package har-validator is not installed: the test interop_har_validator_install skipped or failed");
    }

    void veltraneHarPassesTheValidator_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("signed post, answered") << QStringList{u"--token=veltrane"_s};
        QTest::newRow("encrypted post, answered")
            << QStringList{u"--token=veltrane"_s, u"--mode=safe"_s, u"--appid=wxveltrane1234567"_s,
                           u"--aes-key=abcdefghijklmnopqrstuvwxyz0123456789ABCDEFG"_s};
        QTest::newRow("URL check") << QStringList{u"--check-url"_s, u"--token=veltrane"_s};
        QTest::newRow("refused: no answer") << QStringList{u"http://127.0.0.1:9/refused"_s};
    }

    void veltraneHarPassesTheValidator()
    {
        QFETCH(QStringList, arguments);
        SampleEndpointProcess endpoint({u"--token"_s, u"veltrane"_s});
        QVERIFY(endpoint.port() > 0);
        QTemporaryDir dir;
        const QString har = dir.filePath(u"run.har"_s);
        if (!arguments.first().startsWith(u"http"_s))
            arguments.prepend(u"http://127.0.0.1:%1/"_s.arg(endpoint.port()));
        const ProgramRun run = runPost(arguments + QStringList{u"--har"_s, har});
        QVERIFY2(QFile::exists(har), qPrintable(run.err));

        QProcess validator;
        validator.setProcessChannelMode(QProcess::MergedChannels);
        validator.start(m_node, {QStringLiteral(VELTRANE_HAR_SCRIPT), QStringLiteral(VELTRANE_HAR_PREFIX "/node_modules"), har});
        QVERIFY(validator.waitForFinished(60'000));
        QVERIFY2(validator.exitCode() == 0, validator.readAll().constData());
    }

private:
    QString m_node;
};

QTEST_GUILESS_MAIN(TestInteropHar)
#include "test_interop_har.moc"
