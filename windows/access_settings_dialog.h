#pragma once

#include "platform/access_settings.h"
#include "platform/access_settings_check.h"
#include "program_options.h"

#include <QDialog>

#include <optional>

class QButtonGroup;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QRadioButton;
class PayCertificateRow;

// "接入设置": the push family (平台), then the token, EncodingAESKey, AppID,
// OpenID and message mode of the endpoint, as that family's developer page
// shows and names them. OK stays refused while they cannot be used; nothing
// typed is thrown away, not even in the rows another family hides. A value
// this run's command line gave is marked so: it is saved only if changed.
class AccessSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit AccessSettingsDialog(const AccessSettings &settings, const AccessOverrides &fromCommandLine = {},
                                  QWidget *parent = nullptr);

    // What the fields hold, blanks around each value dropped.
    AccessSettings settings() const;

    void accept() override;

private:
    void showProblems();
    // The rows, their names and the mode as the chosen family has them.
    void showFamily();
    void markOrigins(const AccessOverrides &fromCommandLine);
    void growToFit();

    QComboBox *const m_platform;
    QComboBox *const m_format;
    QLineEdit *const m_token;
    QLineEdit *const m_aesKey;
    QLabel *const m_aesKeyProblem;
    QLineEdit *const m_mchId;
    QLineEdit *const m_appId;
    QLineEdit *const m_agentId;
    QLineEdit *const m_apiV3Key;
    PayCertificateRow *const m_payCertificate;
    QLineEdit *const m_openId;
    QLineEdit *const m_caFile;
    QRadioButton *const m_plain;
    QRadioButton *const m_compatible;
    QRadioButton *const m_safe;
    QButtonGroup *const m_modes;
    QLabel *const m_modeHint;
    QLabel *const m_modeNote; // what holds OK back, whichever rows it is about
    QLabel *const m_origins;
    QLabel *const m_secretsPlace; // where saving keeps the token and key
    QHBoxLayout *m_modeRow = nullptr;
    QFormLayout *m_form = nullptr;
    QDialogButtonBox *const m_buttons;
    bool m_appIdFromCommandLine = false;
    // The mode chosen for a family that lets one choose, shown again when
    // the user comes back from a family that is always encrypted.
    MessageMode m_chosenMode = MessageMode::Plain;
    bool m_modeFixed = false;
};
