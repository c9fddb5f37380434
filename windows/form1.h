#pragma once

#include "toolkit/window.h"

class MultiLineTextBox;
class SingleLineTextBox;

// The main window: the endpoint box, the XML box, three load buttons, the
// post button and a one-line hint.
class Form1 : public Window {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

private:
    void Text1Click();
    void Command1Click();
    void Command2Click();
    void Command3Click();
    void Command4Click();

    SingleLineTextBox *Text1() const;
    MultiLineTextBox *Text2() const;
};
