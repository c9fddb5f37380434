#pragma once

#include "platform/access_settings.h"
#include "exchange_window.h"
#include "history/exchange_history.h"
#include "form1.h"
#include "form2.h"
#include "http/http_request.h"
#include "platform/push_post.h"
#include "toolkit/program_wide_window.h"
#include "main_window_wait.h"

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class TimedPush;

// The exchange window and the ways in: "交互记录" (with its shortcut),
// "模拟平台重试", "复制为 curl 命令" and, for the third-party platform,
// "每 10 分钟推送一次" for the main window's context menu, "载入更多样例"
// (the chosen family's samples) for the XML box's, and "查看交互详情" on the
// result window's text box, on every result window loaded.
class ExchangeActions : public QObject {
    Q_OBJECT
public:
    // The access settings as the main window holds them now; none: a plain post.
    using AccessSource = std::function<AccessSettings()>;

    ExchangeActions(Form1 &mainWindow, ProgramWideWindow<Form2> &resultWindow,
                    PostRequestFactory createRequest = createNetworkRequest, AccessSource access = {},
                    QObject *parent = nullptr);
    ~ExchangeActions() override;

    // "交互记录", "模拟平台重试", "复制为 curl 命令", "每 10 分钟推送一次", in
    // that order; the last is seen only while the platform is 第三方平台.
    QList<QAction *> mainWindowActions() const;
    // "载入更多样例": one entry per further push type of the chosen family,
    // made again when the family changes.
    QMenu *moreSamplesMenu() const { return moreSamples_; }
    TimedPush &timedPush() const { return *timedPush_; }
    // Shows the exchange window; its shortcut works in every window of the program.
    QAction *showAction() const { return show_; }
    // Made when first needed: building it took a fifth of the program's start.
    ExchangeWindow &window();

    static QKeySequence showShortcut();

    // What "模拟平台重试" does while the family is 微信支付: the payment
    // platform retries on a schedule of its own (PayRetryDialog).
    void setPayRetry(std::function<void()> retry) { payRetry_ = std::move(retry); }

    // Keeps every exchange in the history file given (made when first
    // needed); without one they are kept in memory for this run.
    void keepHistoryIn(const QString &file) { historyFile_ = file; }

public slots:
    // Lists a post of the main window.
    void record(const PushPostOutcome &outcome);
    // Lists a check of the endpoint's URL ("验证URL").
    void recordUrlCheck(const ExchangeRecord &record, bool passed, const QString &explanation);
    // Shows the exchange whose answer the result window shows.
    void showShownExchange();
    void showWindow();
    // Posts the push in the boxes three times, as the platform does when
    // the endpoint is late, and lists the three together.
    void simulateRetry();
    void copyCurlCommand();
    // Posts the third-party platform's component_verify_ticket, fresh, to
    // the endpoint in the main window, and lists it as a post.
    void postVerifyTicket();

private:
    void attachTo(Form2 &resultWindow);
    PushPostOrder currentOrder() const;
    AccessSettings currentAccess() const { return access_ ? access_() : AccessSettings{}; }
    // The samples menu and the timed entry as the access settings have them now.
    void followAccessSettings();
    void fillMoreSamples();
    // Lists the entry; what the history has to say is said once in Label1,
    // after the verdict, by showHistoryNote().
    quint64 list(JournalEntry entry);
    void showHistoryNote();

    Form1 &mainWindow_;
    ProgramWideWindow<Form2> &resultWindow_;
    PostRequestFactory createRequest_;
    // The tries and the timed push wait as a post does: painted, input dropped, Esc gives up.
    MainWindowWait wait_;
    AccessSource access_;
    std::function<void()> payRetry_;
    QString historyFile_;
    std::unique_ptr<ExchangeHistory> history_;
    std::optional<QString> historyNote_;
    std::unique_ptr<ExchangeWindow> window_;
    QAction *const show_;
    QAction *const retry_;
    QAction *const copyCurl_;
    QMenu *const moreSamples_;
    TimedPush *const timedPush_;
    std::optional<Platform> moreSamplesOf_; // the family the menu lists now
    // The entry whose answer the result window shows; 0: none yet.
    quint64 shownSerial_ = 0;
};
