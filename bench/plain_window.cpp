// A second floor of the start: the main window's controls from its layout
// table, as plain Qt widgets with no code of the program's, ended once first
// painted. What separates it from the bare window is Qt drawing those
// controls; what separates the program from it is the program's own start.
#include "first_paint_exit.h"
#include "form1_layout.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QWidget *plainControl(const ControlLayout &control, QWidget *container)
{
    const QString text = QString::fromUtf16(control.text);
    switch (control.kind) {
    case ControlKind::TextBox:
        if (control.multiLine)
            return new QPlainTextEdit(text, container);
        return new QLineEdit(text, container);
    case ControlKind::CommandButton:
        return new QPushButton(text, container);
    case ControlKind::Frame:
        return new QGroupBox(text, container);
    case ControlKind::Label: {
        auto *label = new QLabel(text, container);
        if (control.textColour.isValid()) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, control.textColour);
            label->setPalette(palette);
        }
        return label;
    }
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const WindowLayout &layout = form1Layout();
    QWidget window;
    window.setWindowTitle(QString::fromUtf16(layout.caption));
    window.setFixedSize(twipsToPixels(layout.clientWidth), twipsToPixels(layout.clientHeight));
    QMap<QString, QWidget *> containers;
    for (const ControlLayout &control : layout.controls) {
        QWidget *container = *control.container ? containers.value(QString::fromLatin1(control.container)) : &window;
        QWidget *widget = plainControl(control, container);
        widget->setGeometry(twipsToPixels(control.left), twipsToPixels(control.top), twipsToPixels(control.width),
                            twipsToPixels(control.height));
        containers.insert(QString::fromLatin1(control.name), widget);
    }
    const FirstPaintExit exit(&window);
    window.show();
    return app.exec();
}
