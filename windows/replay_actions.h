#pragma once

#include "form1.h"
#include "har/har_import.h"
#include "har/replay_post.h"
#include "har_import_dialog.h"
#include "main_window_wait.h"

#include <QObject>
#include <QPointer>

#include <functional>

class ExchangeWindow;
class QAction;

// Sending again from 交互记录: 原样重发 and 重新签名后发送 on the list's
// context menu for the exchange selected, and 从 HAR 导入… (the history
// bar's button and the same menu), whose dialog lists a file's POST
// requests for the same two. A replay waits as a post does, is listed as
// a new exchange and judged in Label1.
class ReplayActions : public QObject {
    Q_OBJECT
public:
    using AccessSource = std::function<AccessSettings()>;

    ReplayActions(Form1 &mainWindow, ExchangeWindow &window, PostRequestFactory createRequest, AccessSource access,
                  QObject *parent = nullptr);

    QAction *asRecordedAction() const { return asRecorded_; }
    QAction *resignedAction() const { return resigned_; }
    // Made at the first import; null before.
    HarImportDialog *importDialog() const { return dialog_; }

    // How a problem the user can mend is told; tests note it instead.
    std::function<void(QWidget *parent, const QString &message)> tell;

public slots:
    void replaySelected(ReplayMode mode);
    void importFile(const QString &file);

private:
    void replayImported(int entry, ReplayMode mode, const QString &givenUrl);
    // Sends the source again; what became of it, in one line, or why it did not go.
    QString send(const ReplaySource &source, ReplayMode mode, const QString &givenUrl, QWidget *asker);
    void followSelection();

    Form1 &mainWindow_;
    ExchangeWindow &window_;
    MainWindowWait wait_;
    AccessSource access_;
    QAction *const asRecorded_;
    QAction *const resigned_;
    QAction *const import_;
    QPointer<HarImportDialog> dialog_;
    HarImport imported_;
};
