#include "form1.h"

#include "form1_layout.h"
#include "samples.h"
#include "toolkit/handler_guard.h"
#include "toolkit/message_box.h"
#include "toolkit/placement.h"
#include "toolkit/text_boxes.h"
#include "xml_post.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>

namespace {

// While it lives, the clicks and keys meant for a widget go nowhere.
class InputSwallower : public QObject {
public:
    explicit InputSwallower(QWidget *widget)
        : widget_(widget)
    {
        widget_->installEventFilter(this);
    }
    ~InputSwallower() override { widget_->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
        }
    }

private:
    QWidget *widget_;
};

} // namespace

// From the click on the post button until its handler is over, a request to
// close the window is held back, so the program neither ends under an
// exchange nor before its answer or failure has been shown.
class Form1::PostUnderWay {
public:
    explicit PostUnderWay(Form1 &form)
        : form_(form)
    {
        form_.posting_ = true;
    }
    ~PostUnderWay()
    {
        // The wait let no user input through: what the user did meanwhile is
        // delivered now, except to the post button, so a click made during
        // the post does not start another.
        {
            const InputSwallower swallow(form_.control<QPushButton>("Command4"));
            QCoreApplication::processEvents();
        }
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

Form1::Form1(ProgramWideWindow<Form2> &resultWindow, HttpRequestFactory createRequest, QWidget *parent)
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

    const QString answer = [&] {
        const BusyCursor busy;
        return XmlPost(url, body, createRequest_);
    }();
    // Referred to again: the user may have closed it while the post was under way.
    Form2 &result = resultWindow_.get();
    result.Text1()->setText(answer);
    if (!result.isVisible())
        placeBeside(result, *this);
    // Up front with the answer, whatever the user did to it meanwhile.
    if (result.isMinimized())
        result.showNormal();
    else
        result.show();
    result.raise();
    result.activateWindow();
}
