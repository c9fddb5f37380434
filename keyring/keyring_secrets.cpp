#include "keyring_secrets.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>
#include <type_traits>

namespace {

const QString kService = QStringLiteral("Veltrane");

// A service that never answers must not hold the program forever; a user
// unlocking the keyring in its prompt has this long.
constexpr int kPatienceMs = 120'000;

struct JobEnd {
    QKeychain::Error error = QKeychain::OtherError;
    QString errorString = QStringLiteral("钥匙环没有应答");
    bool finished = false;
};

// Runs the job and waits for it. A job given up on deletes itself when it
// finishes at last: QtKeychain may still call back into it.
template <typename Job, typename Prepare>
JobEnd runJob(const QString &key, Prepare prepare, QString *text = nullptr)
{
    auto job = std::make_unique<Job>(kService);
    job->setAutoDelete(false);
    job->setKey(key);
    prepare(*job);
    QEventLoop loop;
    JobEnd end;
    QObject::connect(job.get(), &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        end = {done->error(), done->errorString(), true};
        loop.quit();
    });
    QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    if (!end.finished) {
        QObject::disconnect(job.get(), nullptr, &loop, nullptr);
        job->setAutoDelete(true);
        job.release();
        return end;
    }
    if constexpr (std::is_same_v<Job, QKeychain::ReadPasswordJob>) {
        if (text && end.error == QKeychain::NoError)
            *text = job->textData();
    }
    return end;
}

} // namespace

KeyringRead readKeyringSecret(const QString &key)
{
    QString text;
    const JobEnd end = runJob<QKeychain::ReadPasswordJob>(key, [](QKeychain::ReadPasswordJob &) {}, &text);
    KeyringRead read;
    read.answered = end.finished && (end.error == QKeychain::NoError || end.error == QKeychain::EntryNotFound);
    if (end.finished && end.error == QKeychain::NoError)
        read.secret = text;
    if (!read.answered)
        read.failure = end.errorString;
    return read;
}

std::optional<QString> writeKeyringSecret(const QString &key, const QString &secret)
{
    const JobEnd end = runJob<QKeychain::WritePasswordJob>(
        key, [&secret](QKeychain::WritePasswordJob &job) { job.setTextData(secret); });
    if (end.finished && end.error == QKeychain::NoError)
        return std::nullopt;
    return end.errorString.isEmpty() ? QStringLiteral("钥匙环没有说明原因") : end.errorString;
}
