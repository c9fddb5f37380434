#pragma once

#include "http/exchange_record.h"
#include "http/http_request.h"

#include <QList>
#include <QObject>
#include <QPointer>

struct AccessSettings;
class Form1;
class QAction;

// The main window's access-settings entries: "接入设置…" opens the dialog
// (also on Ctrl+Shift+S), "验证URL" checks the endpoint as the platform does
// when its URL is saved, and needs a token.
class AccessSettingsDialog;

class AccessSettingsActions : public QObject {
    Q_OBJECT
public:
    AccessSettingsActions(Form1 &form, HttpRequestFactory createRequest);

    QList<QAction *> actions() const { return {m_edit, m_checkUrl}; }

signals:
    // The user accepted the dialog with these settings.
    void edited(const AccessSettings &settings);
    // The URL check was carried out or failed (not when given up).
    void urlChecked(const ExchangeRecord &record, bool passed, const QString &explanation);

private:
    void openDialog();
    void checkEndpoint();

    Form1 &form_;
    HttpRequestFactory createRequest_;
    QAction *const m_edit;
    QAction *const m_checkUrl;
    QPointer<AccessSettingsDialog> m_dialog; // the one open, if any
};
