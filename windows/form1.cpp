#include "form1.h"

#include "access_hint.h"
#include "access_settings_actions.h"
#include "form1_layout.h"
#include "label1_text.h"
#include "main_window_menu.h"
#include "platform_delivery_entry.h"
#include "window_delivery.h"
#include "pay/pay_box_post.h"
#include "http/network_http_request.h"
#include "http/post_failure.h"
#include "platform/samples.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/placement.h"
#include "toolkit/text_boxes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

// From the click on the post button until its handler is over, a request to
// close the window gives the post up and is carried out afterwards, so the
// program never ends under an exchange nor in the middle of the handler.
// The user's input meanwhile is dropped (WaitingLoop): no click made during
// the post starts another.
class Form1::PostUnderWay {
public:
    explicit PostUnderWay(Form1 &form)
        : form_(form)
    {
        form_.posting_ = true;
    }
    ~PostUnderWay()
    {
        form_.posting_ = false;
        if (std::exchange(form_.closeRequested_, false))
            form_.close();
    }
    PostUnderWay(const PostUnderWay &) = delete;
    PostUnderWay &operator=(const PostUnderWay &) = delete;

private:
    Form1 &form_;
};

std::unique_ptr<HttpRequest> createNetworkRequest(const ExchangeSettings &settings)
{
    return std::make_unique<NetworkHttpRequest>(settings);
}

Form1::Form1(ProgramWideWindow<Form2> &resultWindow, PostRequestFactory createRequest, QWidget *parent)
    : Window(form1Layout(), parent)
    , Text1_(control<SingleLineTextBox>("Text1"))
    , Text2_(control<MultiLineTextBox>("Text2"))
    , Command1_(control<QPushButton>("Command1"))
    , Command2_(control<QPushButton>("Command2"))
    , Command3_(control<QPushButton>("Command3"))
    , Command4_(control<QPushButton>("Command4"))
    , Label1_(control<QLabel>("Label1"))
    , resultWindow_(resultWindow)
    , createRequest_(std::move(createRequest))
    , unsignedHint_(Label1_->text())
    , menu_(new MainWindowMenu(this, Text1(), Text2()))
    , delivery_(new PlatformDeliveryEntry(this))
{
    // The URL check waits as a post does: painted, input dropped, Esc gives it up.
    auto *accessActions = new AccessSettingsActions(*this, [this] {
        ExchangeSettings settings;
        settings.waiter = &waiting_;
        settings.caFile = access_.caFile;
        return createRequest_(settings);
    });
    menu_->addActions(accessActions->actions());
    connect(accessActions, &AccessSettingsActions::urlChecked, this, &Form1::urlChecked);
    waiting_.setTicker([this](int seconds) { showWaiting(seconds); });
    connect(accessActions, &AccessSettingsActions::edited, this, [this](const AccessSettings &settings) {
        setAccessSettings(settings);
        emit accessSettingsEdited(settings);
    });

    const auto on = [this](auto *control, auto signal, void (Form1::*handler)()) {
        connect(control, signal, this, [this, handler] { runHandler(this, [this, handler] { (this->*handler)(); }); });
    };
    on(Text1(), &SingleLineTextBox::clicked, &Form1::Text1Click);
    on(Command1(), &QPushButton::clicked, &Form1::Command1Click);
    on(Command2(), &QPushButton::clicked, &Form1::Command2Click);
    on(Command3(), &QPushButton::clicked, &Form1::Command3Click);
    connect(Command4(), &QPushButton::clicked, this, [this] {
        if (posting_)
            return;
        const PostUnderWay post(*this);
        runHandler(this, [this] { Command4Click(); });
    });
    // Ctrl+Enter in either box posts, as the post button does.
    auto *post = new QAction(this);
    post->setObjectName(QStringLiteral("postByKey"));
    post->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    post->setShortcutContext(Qt::WindowShortcut);
    addAction(post);
    connect(post, &QAction::triggered, Command4(), &QPushButton::click);
    showAccessHint(); // the label's description set from the start
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (posting_) {
        closeRequested_ = true;
        waiting_.giveUp();
        event->ignore();
        return;
    }
    Window::closeEvent(event);
}

void Form1::setAccessSettings(const AccessSettings &settings)
{
    access_ = settings;
    showAccessHint();
    emit accessSettingsChanged(access_);
}

void Form1::setLabel1(const QString &text)
{
    QLabel *label = Label1();
    label->setText(text);
    // The label's accessible name stays the window's "提示"; what it says
    // now is its description, announced as it changes.
    label->setAccessibleDescription(text);
}

void Form1::showAccessHint()
{
    setLabel1(accessHint(access_, unsignedHint_));
}

void Form1::showWaiting(int secondsWaited)
{
    setLabel1(waitingText(secondsWaited));
}

void Form1::showVerdict(const PushPostOutcome &outcome)
{
    const QLabel *label = Label1();
    setLabel1(verdictText(outcome, label->fontMetrics(), label->contentsRect().width()));
}

void Form1::showNote(const QString &note)
{
    const QLabel *label = Label1();
    setLabel1(label->fontMetrics().elidedText(note, Qt::ElideRight, label->contentsRect().width()));
}

void Form1::Text1Click()
{
    if (Text1()->text() == QStringView(kDefaultEndpoint))
        Text1()->setText(QString());
}

void Form1::Command1Click()
{
    Text2()->replaceText(BuildPictureSample());
}

void Form1::Command2Click()
{
    Text2()->replaceText(BuildTextSample());
}

void Form1::Command3Click()
{
    Text2()->replaceText(BuildLocationSample());
}

void Form1::Command4Click()
{
    if (Text1()->text().size() < 5) {
        showMessage(this, QStringLiteral("请设置好域名或者API地址需要输入http://"));
        return;
    }
    const QString url = Text1()->text();
    const QString body = Text2()->text();
    resultWindow_.get(); // loaded, hidden, before the request goes out

    ExchangeSettings settings;
    settings.waiter = &waiting_;
    settings.caFile = access_.caFile;
    // 平台投递 (not for payments, which have their own schedule).
    const std::optional<DeliveryRules> delivery = access_.platform == Platform::Pay ? std::nullopt : delivery_->rules();
    const PushPostOutcome outcome = [&] {
        const BusyCursor busy;
        const auto createRequest = [&] { return createRequest_(settings); };
        // 微信支付: the box holds the resource, sealed and signed as the payment platform sends it.
        if (access_.platform == Platform::Pay)
            return postPayResource({url, body, access_}, payPlatformKey(payPlatformKeyFile()), createRequest);
        if (delivery) // each try listed
            return deliverFromWindow({url, body, access_}, *delivery, settings, createRequest_,
                                     [this](const PushPostOutcome &earlier) { emit posted(earlier); });
        return postPush({url, body, access_}, createRequest);
    }();
    showVerdict(outcome);
    emit posted(outcome);
    if (outcome.record.cancelled)
        return;
    // 平台投递 shows what every try got, a failed last one included.
    if (delivery) {
        showAnswer(outcome);
        return;
    }
    if (const auto &failure = outcome.record.failure)
        throw PostFailure(PostFailure::Number(failure->number), failure->description);
    showAnswer(outcome);
    if (outcome.answerProblem)
        showMessage(this, QStringLiteral("答复未通过检查:%1").arg(*outcome.answerProblem));
}

void Form1::showAnswer(const PushPostOutcome &outcome)
{
    // Referred to again: the user may have closed it while the post was under way.
    Form2 &result = resultWindow_.get();
    result.Text1()->setText(outcome.shownText);
    const bool shownBefore = result.isVisible();
    if (!shownBefore)
        placeBeside(result, *this);
    // Up front with the answer, whatever the user did to it meanwhile (a
    // window shown anew comes up in front by itself).
    if (result.isMinimized())
        result.showNormal();
    else
        result.show();
    if (shownBefore)
        result.raise();
    result.activateWindow();
}
