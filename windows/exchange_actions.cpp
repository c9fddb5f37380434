#include "exchange_actions.h"

#include "http/curl_command.h"
#include "form1.h"
#include "platform/more_samples.h"
#include "platform/signed_post.h"
#include "replay_actions.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/placement.h"
#include "toolkit/text_boxes.h"
#include "timed_push.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

namespace {

// What XmlPost's three SetRequestHeader calls add up to.
const QByteArray kXmlPostContentType = "text/XML, utf-8, application/x-www-form-urlencoded";

// The push the third-party platform repeats every ten minutes.
const QString kVerifyTicketSample = QStringLiteral("component_verify_ticket");

const PushSample *verifyTicketSample()
{
    return findPushSample(Platform::OpenPlatform, kVerifyTicketSample);
}

JournalEntry entryFor(const PushPostOutcome &outcome, int group = 0, int tryNumber = 0)
{
    return JournalEntry{outcome.record, outcome.verdict, group, tryNumber, {}, 0, false};
}

} // namespace

ExchangeActions::ExchangeActions(Form1 &mainWindow, ProgramWideWindow<Form2> &resultWindow,
                                 PostRequestFactory createRequest, AccessSource access, QObject *parent)
    : QObject(parent)
    , mainWindow_(mainWindow)
    , resultWindow_(resultWindow)
    , createRequest_(std::move(createRequest))
    , wait_(mainWindow, createRequest_)
    , access_(std::move(access))
    , show_(new QAction(QStringLiteral("交互记录"), this))
    , retry_(new QAction(QStringLiteral("模拟平台重试"), this))
    , copyCurl_(new QAction(QStringLiteral("复制为 curl 命令"), this))
    , moreSamples_(new QMenu(QStringLiteral("载入更多样例")))
    , timedPush_(new TimedPush([this] { runHandler(&mainWindow_, [this] { postVerifyTicket(); }); },
                               &WaitingLoop::anyWaiting, this))
{
    show_->setObjectName(QStringLiteral("showExchanges"));
    show_->setShortcut(showShortcut());
    // Shown in the menus; works in whichever window of the program is active.
    show_->setShortcutContext(Qt::ApplicationShortcut);
    show_->setShortcutVisibleInContextMenu(true);
    // A shortcut lives while a visible widget carries its action: the main
    // window is shown as long as the program runs.
    mainWindow_.addAction(show_);
    retry_->setObjectName(QStringLiteral("simulateRetry"));
    retry_->setToolTip(QStringLiteral("把同一条推送连发三次，如平台在应答超时后所做"));
    copyCurl_->setObjectName(QStringLiteral("copyCurlCommand"));
    moreSamples_->setObjectName(QStringLiteral("moreSamples"));

    const auto guarded = [this](void (ExchangeActions::*handler)()) {
        return [this, handler] { runHandler(&mainWindow_, [this, handler] { (this->*handler)(); }); };
    };
    connect(show_, &QAction::triggered, this, guarded(&ExchangeActions::showWindow));
    connect(retry_, &QAction::triggered, this, guarded(&ExchangeActions::simulateRetry));
    connect(copyCurl_, &QAction::triggered, this, guarded(&ExchangeActions::copyCurlCommand));

    // The family may have changed since the menu was filled: the dialog's
    // OK, or a test's settings, reach it before it opens.
    connect(moreSamples_, &QMenu::aboutToShow, this, &ExchangeActions::fillMoreSamples);
    connect(&mainWindow_, &Form1::accessSettingsChanged, this, &ExchangeActions::followAccessSettings);
    followAccessSettings();

    resultWindow.whenLoaded([this](Form2 &form) { attachTo(form); });
}

ExchangeActions::~ExchangeActions()
{
    resultWindow_.whenLoaded({});
    delete moreSamples_;
}

ExchangeWindow &ExchangeActions::window()
{
    if (!window_) {
        window_ = std::make_unique<ExchangeWindow>();
        // Opened with the window: both cost time the program's start need not spend.
        history_ = std::make_unique<ExchangeHistory>(HistoryOptions{historyFile_});
        window_->useHistory(*history_);
        // 原样重发, 重新签名后发送 and 从 HAR 导入…, living as long as the window.
        new ReplayActions(mainWindow_, *window_, createRequest_, access_, window_.get());
        // Closing the main window ends the program as before: this window
        // does not keep it running.
        connect(&mainWindow_, &Window::closed, window_.get(), &QWidget::close);
    }
    return *window_;
}

QKeySequence ExchangeActions::showShortcut()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H);
}

QList<QAction *> ExchangeActions::mainWindowActions() const
{
    return {show_, retry_, copyCurl_, timedPush_->action()};
}

void ExchangeActions::followAccessSettings()
{
    fillMoreSamples();
    timedPush_->setAvailable(currentAccess().platform == Platform::OpenPlatform && verifyTicketSample());
}

void ExchangeActions::fillMoreSamples()
{
    const Platform platform = currentAccess().platform;
    if (moreSamplesOf_ == platform)
        return;
    moreSamplesOf_ = platform;
    moreSamples_->clear(); // deletes the entries, which the menu owns
    MultiLineTextBox *xmlBox = mainWindow_.Text2();
    for (const PushSample &sample : pushSamples(platform)) {
        QAction *load = moreSamples_->addAction(sample.caption);
        // Built when chosen: the time of now, a message id of its own, and
        // the settings' receive id and format as they are then.
        connect(load, &QAction::triggered, xmlBox, [this, xmlBox, &sample] {
            runHandler(&mainWindow_,
                       [this, xmlBox, &sample] { xmlBox->replaceText(buildPushSample(sample, currentAccess())); });
        });
    }
}

void ExchangeActions::attachTo(Form2 &resultWindow)
{
    MultiLineTextBox *box = resultWindow.Text1();
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint &at) {
        // The box's own menu, and the way to the whole exchange after it.
        QMenu *menu = box->createStandardContextMenu(at);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        // The shortcut is shown, not registered again: two actions on one
        // key would make it ambiguous while the menu is open.
        menu->addAction(QStringLiteral("查看交互详情\t") + show_->shortcut().toString(QKeySequence::NativeText), this,
                        [this] { runHandler(&mainWindow_, [this] { showShownExchange(); }); });
        menu->popup(box->mapToGlobal(at));
    });
}

quint64 ExchangeActions::list(JournalEntry entry)
{
    const quint64 serial = window().add(std::move(entry));
    if (std::optional<QString> notice = history_->takeNotice())
        historyNote_ = std::move(notice);
    return serial;
}

void ExchangeActions::showHistoryNote()
{
    if (std::optional<QString> note = std::exchange(historyNote_, std::nullopt))
        mainWindow_.showNote(*note);
}

void ExchangeActions::record(const PushPostOutcome &outcome)
{
    const quint64 serial = list(entryFor(outcome));
    showHistoryNote();
    // The main window shows the answer of every post that got one.
    if (!outcome.record.cancelled && !outcome.record.failure)
        shownSerial_ = serial;
}

void ExchangeActions::recordUrlCheck(const ExchangeRecord &record, bool passed, const QString &explanation)
{
    JournalEntry entry;
    entry.record = record;
    entry.verdict = {{passed ? VerdictLine::Pass : VerdictLine::Fail, explanation}};
    list(std::move(entry));
    showHistoryNote();
}

void ExchangeActions::showShownExchange()
{
    showWindow();
    if (shownSerial_)
        window().selectSerial(shownSerial_);
}

void ExchangeActions::showWindow()
{
    ExchangeWindow &shown = window();
    if (!shown.isVisible()) {
        fitScreenOf(shown, shown.size(), mainWindow_); // as the user left it, or as it opens
        placeBeside(shown, mainWindow_);
    }
    shown.show();
    shown.raise();
    shown.activateWindow();
}

PushPostOrder ExchangeActions::currentOrder() const
{
    return {mainWindow_.Text1()->text(), mainWindow_.Text2()->text(),
            access_ ? access_() : AccessSettings{}};
}

void ExchangeActions::simulateRetry()
{
    if (currentAccess().platform == Platform::Pay && payRetry_) {
        payRetry_();
        return;
    }
    if (wait_.underWay())
        return;
    const PushPostOrder order = currentOrder();
    showWindow();
    const MainWindowWait::Hold held(wait_);
    const int group = window().newGroup();
    std::optional<PushPostOutcome> last;      // the last try's
    std::optional<PushPostOutcome> answered;  // the last try that got an answer
    quint64 answeredSerial = 0;
    {
        const BusyCursor busy;
        // The same body each time; postPush signs each try afresh, as the platform does.
        for (int tryNumber = 1; tryNumber <= 3; ++tryNumber) {
            last = postPush(order, wait_.requests(order.access.caFile));
            const quint64 serial = list(entryFor(*last, group, tryNumber));
            if (!last->record.cancelled && !last->record.failure) {
                answered = last;
                answeredSerial = serial;
            }
            if (last->record.cancelled)
                break; // Esc gives up the tries still to come
        }
    }
    // As after a post: the answer in the result window, the verdict in Label1.
    mainWindow_.showVerdict(answered ? *answered : *last);
    showHistoryNote();
    if (answered) {
        shownSerial_ = answeredSerial;
        mainWindow_.showAnswer(*answered);
    }
}

void ExchangeActions::postVerifyTicket()
{
    const PushSample *sample = verifyTicketSample();
    const AccessSettings access = currentAccess();
    const QString url = mainWindow_.Text1()->text();
    if (!sample || wait_.underWay())
        return;
    if (url.size() < 5) {
        // As the post button says it; a timer that cannot post stops.
        timedPush_->action()->setChecked(false);
        showMessage(&mainWindow_, QStringLiteral("请设置好域名或者API地址需要输入http://"));
        return;
    }
    const MainWindowWait::Hold held(wait_);
    const PushPostOutcome outcome = postPush({url, buildPushSample(*sample, access), access}, wait_.requests(access.caFile));
    // Listed and judged as a post, without taking the user's boxes or
    // bringing a window up every ten minutes: the result window keeps the
    // answer it shows, and so its way to the exchange window.
    window().add(entryFor(outcome));
    mainWindow_.showVerdict(outcome);
}

void ExchangeActions::copyCurlCommand()
{
    const PushPostOrder order = currentOrder();
    // Signed and encrypted as a post made now would be.
    const SignedPost post = signPost(order.url, order.body, order.access, freshSigningInputs());
    if (post.problem) {
        showMessage(&mainWindow_, *post.problem);
        return;
    }
    QApplication::clipboard()->setText(curlCommand(post.url, post.body.toUtf8(), kXmlPostContentType));
}
