#pragma once

#include "form2.h"
#include "http_request.h"
#include "toolkit/program_wide_window.h"
#include "toolkit/window.h"

class MultiLineTextBox;
class SingleLineTextBox;

// The main window: the endpoint box, the XML box, three load buttons, the
// post button and a one-line hint. Posting fills and shows the program's
// one result window.
class Form1 : public Window {
    Q_OBJECT
public:
    explicit Form1(ProgramWideWindow<Form2> &resultWindow,
                   HttpRequestFactory createRequest = createHttpRequest, QWidget *parent = nullptr);

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
    HttpRequestFactory createRequest_;
    bool posting_ = false;
    bool closeRequested_ = false;
};
