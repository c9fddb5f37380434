#pragma once

#include "window_layout.h"

#include <QWidget>

// A top-level window made from its stored layout: caption, fixed client size,
// the program's icon and the controls, each named after its layout entry.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(const WindowLayout &layout, QWidget *parent = nullptr);

signals:
    // The user closed the window and it went.
    void closed();

protected:
    // The control of that name; the layout guarantees it exists. Windows
    // look each up once and offer it typed.
    template <class Control>
    Control *control(const char *name) const
    {
        auto *found = findChild<Control *>(QLatin1StringView(name));
        Q_ASSERT_X(found, "Window::control", name);
        return found;
    }

    void closeEvent(QCloseEvent *event) override;
};
