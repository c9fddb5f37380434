#pragma once

#include "platform/access_settings.h"
#include "platform/access_settings_check.h"
#include "program_options.h"

#include <QDialog>

#include <optional>

class QButtonGroup;
class QDialogButtonBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QRadioButton;

// "接入设置": the token, EncodingAESKey, AppID, OpenID and message mode of
// the endpoint, as the platform's developer page shows them. OK stays
// refused while they cannot be used; nothing typed is thrown away. A value
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
    void markOrigins(const AccessOverrides &fromCommandLine);
    void growToFit();
    // What holds OK back: the key counts only in the modes that use it.
    static std::optional<AccessSettingsProblem> blockingProblem(const AccessSettings &settings);

    QLineEdit *const m_token;
    QLineEdit *const m_aesKey;
    QLabel *const m_aesKeyProblem;
    QLineEdit *const m_appId;
    QLineEdit *const m_openId;
    QLineEdit *const m_caFile;
    QRadioButton *const m_plain;
    QRadioButton *const m_compatible;
    QRadioButton *const m_safe;
    QButtonGroup *const m_modes;
    QLabel *const m_modeNote;
    QLabel *const m_origins;
    QLabel *const m_secretsPlace; // where saving keeps the token and key
    QHBoxLayout *m_modeRow = nullptr;
    QDialogButtonBox *const m_buttons;
};
