#pragma once

#include "pay/platform_key.h"

#include <QFutureWatcher>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// 接入设置's row for 微信支付: the serial number of the certificate Veltrane
// signs with as the platform (read-only, to be copied into an SDK's settings)
// and "导出平台证书…", which saves that certificate as PEM. The key is read,
// or made, only when the row is first wanted, away from the window's thread:
// making one takes a moment.
class PayCertificateRow : public QWidget {
    Q_OBJECT
public:
    // The key; throws PostFailure when it can be neither read nor made. Called on another thread.
    using KeyLoader = std::function<PayPlatformKey()>;
    // A path to save to, starting from the suggestion; empty: cancelled.
    using FileChooser = std::function<QString(const QString &suggested)>;
    using MessageShower = std::function<void(const QString &message)>;

    explicit PayCertificateRow(QWidget *parent = nullptr);
    // Waits for a key being made: the loader may use what the row's owner holds.
    ~PayCertificateRow() override;

    // Test seams; the defaults are the key beside the settings, Qt's file dialog and a message box.
    void setKeyLoader(KeyLoader loader) { loadKey_ = std::move(loader); }
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void setMessageShower(MessageShower shower) { showMessage_ = std::move(shower); }

    // Starts reading the key unless it was read already; loaded() tells when
    // it is there, a failure is shown in the row.
    void load();
    QString serial() const;

signals:
    void loaded();

public slots:
    void exportCertificate();

private:
    struct LoadedKey {
        std::optional<PayPlatformKey> key;
        QString problem;
    };
    void keyLoaded();

    QLineEdit *const serial_;
    QPushButton *const export_;
    QLabel *const problem_;
    KeyLoader loadKey_;
    FileChooser chooseFile_;
    MessageShower showMessage_;
    std::optional<PayPlatformKey> key_;
    // Destroyed with the row; a key still being made is kept in its file for the next time.
    QFutureWatcher<LoadedKey> loading_;
};
