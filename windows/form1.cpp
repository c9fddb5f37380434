#include "form1.h"

#include "form1_layout.h"
#include "network_http_request.h"
#include "samples.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/placement.h"
#include "toolkit/text_boxes.h"
#include "xml_post.h"

#include <QApplication>
#include <QCloseEvent>
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

namespace {

// The pointer shows that the program is busy, not dead, while it waits.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

std::unique_ptr<HttpRequest> createNetworkRequest(const ExchangeSettings &settings)
{
    return std::make_unique<NetworkHttpRequest>(settings);
}

Form1::Form1(ProgramWideWindow<Form2> &resultWindow, PostRequestFactory createRequest, QWidget *parent)
    : Window(form1Layout(), parent)
    , resultWindow_(resultWindow)
    , createRequest_(std::move(createRequest))
{
    const auto on = [this](auto *control, auto signal, void (Form1::*handler)()) {
        connect(control, signal, this, [this, handler] { runHandler(this, [this, handler] { (this->*handler)(); }); });
    };
    on(Text1(), &SingleLineTextBox::clicked, &Form1::Text1Click);
    on(control<QPushButton>("Command1"), &QPushButton::clicked, &Form1::Command1Click);
    on(control<QPushButton>("Command2"), &QPushButton::clicked, &Form1::Command2Click);
    on(control<QPushButton>("Command3"), &QPushButton::clicked, &Form1::Command3Click);
    connect(control<QPushButton>("Command4"), &QPushButton::clicked, this, [this] {
        if (posting_)
            return;
        const PostUnderWay post(*this);
        runHandler(this, [this] { Command4Click(); });
    });
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

SingleLineTextBox *Form1::Text1() const
{
    return control<SingleLineTextBox>("Text1");
}

MultiLineTextBox *Form1::Text2() const
{
    return control<MultiLineTextBox>("Text2");
}

void Form1::Text1Click()
{
    if (Text1()->text() == QStringView(kDefaultEndpoint))
        Text1()->setText(QString());
}

void Form1::Command1Click()
{
    Text2()->setText(BuildPictureSample());
}

void Form1::Command2Click()
{
    Text2()->setText(BuildTextSample());
}

void Form1::Command3Click()
{
    Text2()->setText(BuildLocationSample());
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
    const QString answer = [&] {
        const BusyCursor busy;
        return XmlPost(url, body, [&] { return createRequest_(settings); });
    }();
    // Referred to again: the user may have closed it while the post was under way.
    Form2 &result = resultWindow_.get();
    result.Text1()->setText(answer);
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
