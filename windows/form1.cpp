#include "form1.h"

#include "form1_layout.h"
#include "samples.h"
#include "toolkit/handler_guard.h"
#include "toolkit/text_boxes.h"

#include <QPushButton>

Form1::Form1(QWidget *parent)
    : Window(form1Layout(), parent)
{
    const auto on = [this](auto *control, auto signal, void (Form1::*handler)()) {
        connect(control, signal, this, [this, handler] { runHandler(this, [this, handler] { (this->*handler)(); }); });
    };
    on(Text1(), &SingleLineTextBox::clicked, &Form1::Text1Click);
    on(control<QPushButton>("Command1"), &QPushButton::clicked, &Form1::Command1Click);
    on(control<QPushButton>("Command2"), &QPushButton::clicked, &Form1::Command2Click);
    on(control<QPushButton>("Command3"), &QPushButton::clicked, &Form1::Command3Click);
    on(control<QPushButton>("Command4"), &QPushButton::clicked, &Form1::Command4Click);
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
    // Posting the XML box to the endpoint comes with the post action.
}
