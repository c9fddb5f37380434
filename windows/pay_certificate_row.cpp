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
}

void PayCertificateRow::load()
{
    if (key_)
        return;
    try {
        key_ = loadKey_();
        serial_->setText(key_->serial);
        // The whole serial shows at once, to be compared with the SDK's settings.
        const QFontMetrics metrics = serial_->fontMetrics();
        serial_->setMinimumWidth(metrics.horizontalAdvance(key_->serial) + 2 * metrics.averageCharWidth() + 12);
        problem_->hide();
    } catch (const PostFailure &failure) {
        // Asked again on the next export: the cause may be mended meanwhile.
        problem_->setText(QStringLiteral("无法读取或生成平台密钥：%1").arg(failure.description()));
        problem_->show();
    }
}

QString PayCertificateRow::serial() const
{
    return key_ ? key_->serial : QString();
}

void PayCertificateRow::exportCertificate()
{
    load();
    if (!key_) {
        showMessage_(problem_->text());
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
