#include "pay_certificate_row.h"

#include "http/post_failure.h"
#include "toolkit/message_box.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>
#include <QVBoxLayout>

PayCertificateRow::PayCertificateRow(QWidget *parent)
    : QWidget(parent)
    , serial_(new QLineEdit(this))
    , export_(new QPushButton(QStringLiteral("导出平台证书…"), this))
    , problem_(new QLabel(this))
    , loadKey_([] { return payPlatformKey(payPlatformKeyFile()); })
    , chooseFile_([this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("导出平台证书"), suggested,
                                            QStringLiteral("PEM 证书 (*.pem);;所有文件 (*)"));
    })
    , showMessage_([this](const QString &message) { showMessage(this, message); })
{
    setObjectName(QStringLiteral("payCertificate"));
    serial_->setObjectName(QStringLiteral("paySerial"));
    serial_->setReadOnly(true); // still selectable: it is copied into the SDK's settings
    serial_->setToolTip(QStringLiteral("平台证书的序列号（Wechatpay-Serial），在 SDK 中按它配置平台证书"));
    export_->setObjectName(QStringLiteral("exportPayCertificate"));
    problem_->setObjectName(QStringLiteral("payKeyProblem"));
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    QPalette palette = problem_->palette();
    palette.setColor(QPalette::WindowText, QColor(200, 0, 0));
    problem_->setPalette(palette);
    problem_->hide();

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(serial_);
    row->addWidget(export_);
    auto *whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->addLayout(row);
    whole->addWidget(problem_);

    connect(export_, &QPushButton::clicked, this, &PayCertificateRow::exportCertificate);
    connect(&loading_, &QFutureWatcher<LoadedKey>::finished, this, &PayCertificateRow::keyLoaded);
}

PayCertificateRow::~PayCertificateRow()
{
    loading_.waitForFinished();
}

void PayCertificateRow::load()
{
    if (key_ || loading_.isRunning())
        return;
    // Making RSA-2048 takes from a quarter of a second to two on a busy
    // machine: done on the pool's thread, so the dialog goes on answering.
    serial_->setPlaceholderText(QStringLiteral("正在读取或生成平台密钥…"));
    export_->setEnabled(false);
    loading_.setFuture(QtConcurrent::run([loader = loadKey_]() -> LoadedKey {
        try {
            return {loader(), QString()};
        } catch (const PostFailure &failure) {
            return {std::nullopt, failure.description()};
        }
    }));
}

void PayCertificateRow::keyLoaded()
{
    const LoadedKey result = loading_.result();
    export_->setEnabled(true);
    serial_->setPlaceholderText(QString());
    if (!result.key) {
        // Asked again on the next export: the cause may be mended meanwhile.
        problem_->setText(QStringLiteral("无法读取或生成平台密钥：%1").arg(result.problem));
        problem_->show();
        return;
    }
    key_ = result.key;
    serial_->setText(key_->serial);
    // The whole serial shows at once, to be compared with the SDK's settings.
    const QFontMetrics metrics = serial_->fontMetrics();
    serial_->setMinimumWidth(metrics.horizontalAdvance(key_->serial) + 2 * metrics.averageCharWidth() + 12);
    problem_->hide();
    emit loaded();
}

QString PayCertificateRow::serial() const
{
    return key_ ? key_->serial : QString();
}

void PayCertificateRow::exportCertificate()
{
    if (!key_) {
        // Only after a failure (the button waits while the key is made): say why, and try again.
        showMessage_(problem_->text());
        load();
        return;
    }
    const QString file = chooseFile_(QDir::homePath() + QStringLiteral("/veltrane-platform-certificate.pem"));
    if (file.isEmpty())
        return;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(key_->certificatePem) != key_->certificatePem.size()
        || !out.commit()) {
        showMessage_(QStringLiteral("无法写入 %1：%2。请换一个可以写入的位置再导出。")
                         .arg(QDir::toNativeSeparators(file), out.errorString()));
        return;
    }
}
