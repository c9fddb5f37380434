#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>

#include <memory>

// One finished run of a program: how it ended and what it wrote.
struct ProgramRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QString err;
};

// Runs veltrane-post with the arguments (and standard input) to its end.
inline ProgramRun runPost(const QStringList &arguments, const QByteArray &input = {},
                          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELTRANE_POST_PROGRAM), arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    // Bounded by the test's own --timeout values; -1 would hide a hang until CTest's.
    process.waitForFinished(120'000);
    return {process.exitCode(), process.exitStatus() == QProcess::CrashExit, process.readAllStandardOutput(),
            QString::fromUtf8(process.readAllStandardError())};
}

// build/veltrane-sample-endpoint on a free loopback port, as a CI job starts it.
class SampleEndpointProcess {
public:
    explicit SampleEndpointProcess(const QStringList &arguments = {})
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(VELTRANE_SAMPLE_ENDPOINT_PROGRAM), QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
        static const QRegularExpression listening(QStringLiteral("127\\.0\\.0\\.1:(\\d+) "));
        while (port_ < 0 && process_.waitForReadyRead(30'000)) {
            output_ += process_.readAll();
            if (const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output_)); match.hasMatch())
                port_ = match.captured(1).toInt();
        }
    }
    ~SampleEndpointProcess()
    {
        process_.kill();
        process_.waitForFinished();
    }

    int port() const { return port_; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/api/").arg(port_); }
    // The lines it logged for requests so far: one per request.
    int requestsLogged()
    {
        output_ += process_.readAll();
        return int(output_.count("\n" "POST ") + output_.count("\n" "GET "));
    }

private:
    QProcess process_;
    QByteArray output_;
    int port_ = -1;
};
