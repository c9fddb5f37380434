#pragma once

#include "curl_exchange.h"
#include "form2.h"
#include "http_request.h"
#include "toolkit/program_wide_window.h"
#include "toolkit/waiting_loop.h"
#include "toolkit/window.h"

class MultiLineTextBox;
class SingleLineTextBox;

// Makes the request object of one post from the settings the window gives
// it, how to wait for the exchange among them; a test hands in its own.
using PostRequestFactory = std::function<std::unique_ptr<HttpRequest>(const ExchangeSettings &)>;
std::unique_ptr<HttpRequest> createNetworkRequest(const ExchangeSettings &settings);

// The main window: the endpoint box, the XML box, three load buttons, the
// post button and a one-line hint. Posting fills and shows the program's
// one result window. While a post waits, Esc or closing the window gives it
// up.
class Form1 : public Window {
    Q_OBJECT
public:
    explicit Form1(ProgramWideWindow<Form2> &resultWindow,
                   PostRequestFactory createRequest = createNetworkRequest, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class PostUnderWay;

    void Text1Click();
    void Command1Click();
    void Command2Click();
    void Command3Click();
    void Command4Click();

    SingleLineTextBox *Text1() const;
    MultiLineTextBox *Text2() const;

    ProgramWideWindow<Form2> &resultWindow_;
    PostRequestFactory createRequest_;
    WaitingLoop waiting_;
    bool posting_ = false;
    bool closeRequested_ = false;
};
