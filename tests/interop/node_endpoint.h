#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// One of this folder's node endpoints, started on a free loopback port. It
// prints "listening PORT" once it accepts connections; port() waits for that
// line, however slow a loaded machine makes node's start, and is -1 if the
// endpoint ended first.
class NodeEndpoint {
public:
    NodeEndpoint(const QString &script, const QStringList &arguments)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStandardPaths::findExecutable(QStringLiteral("node")), QStringList{script} + arguments);
        while (process_.waitForStarted() && !process_.canReadLine() && process_.state() == QProcess::Running)
            process_.waitForReadyRead(1000);
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("listening ")))
            port_ = line.mid(10).toInt();
    }
    ~NodeEndpoint()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            process_.waitForFinished();
        }
    }

    int port() const { return port_; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/push").arg(port_); }

private:
    QProcess process_;
    int port_ = -1;
};
