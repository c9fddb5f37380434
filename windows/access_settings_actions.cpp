#include "access_settings_actions.h"

#include "access_settings_dialog.h"
#include "form1.h"
#include "toolkit/handler_guard.h"
#include "toolkit/text_boxes.h"
#include "url_check_report.h"

#include <QAction>
#include <QLineEdit>
#include <QScopeGuard>

AccessSettingsActions::AccessSettingsActions(Form1 &form, HttpRequestFactory createRequest)
    : QObject(&form)
    , form_(form)
    , createRequest_(std::move(createRequest))
    , m_edit(new QAction(QStringLiteral("接入设置…"), this))
    , m_checkUrl(new QAction(QStringLiteral("验证URL"), this))
{
    m_edit->setObjectName(QStringLiteral("editAccessSettings"));
    m_edit->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)); // no box uses it
    m_edit->setShortcutContext(Qt::WindowShortcut);
    m_checkUrl->setObjectName(QStringLiteral("checkUrl"));
    m_checkUrl->setEnabled(form_.accessSettings().signs());

    connect(m_edit, &QAction::triggered, this, &AccessSettingsActions::openDialog);
    connect(m_checkUrl, &QAction::triggered, this, [this] { runHandler(&form_, [this] { checkEndpoint(); }); });
    connect(&form_, &Form1::accessSettingsChanged, this,
            [this](const AccessSettings &settings) { m_checkUrl->setEnabled(settings.signs()); });
}

void AccessSettingsActions::openDialog()
{
    // One dialog at a time: the shortcut pressed again brings it forward.
    if (m_dialog && m_dialog->isVisible()) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    auto *dialog = new AccessSettingsDialog(form_.accessSettings(), form_.commandLineSettings(), &form_);
    m_dialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { emit edited(dialog->settings()); });
    dialog->open();
}

void AccessSettingsActions::checkEndpoint()
{
    const UrlCheckResult result = [this] {
        // Label1 says the check waits, as for a post, and is itself again after.
        const auto restore = qScopeGuard([this] { form_.showAccessHint(); });
        return runUrlCheck(form_.Text1()->text(), form_.accessSettings(), createRequest_);
    }();
    if (!result.record.cancelled)
        emit urlChecked(result.record, result.passed, result.explanation);
    reportUrlCheck(&form_, result);
}
