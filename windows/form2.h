#pragma once

#include "toolkit/window.h"

class MultiLineTextBox;

// The result window: the text the endpoint answered the last post with.
class Form2 : public Window {
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);

    // The answer box, by its name in the layout table.
    MultiLineTextBox *Text1() const { return Text1_; }

private:
    MultiLineTextBox *const Text1_;
};
