#pragma once

#include "window_layout.h"

#include <QWidget>

// A top-level window made from its stored layout: caption, fixed client size,
// the program's icon and the controls, each named after its layout entry.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(const WindowLayout &layout, QWidget *parent = nullptr);

    // The control of that name; the layout guarantees it exists.
    template <class Control>
    Control *control(const char *name) const
    {
        auto *found = findChild<Control *>(QLatin1StringView(name));
        Q_ASSERT_X(found, "Window::control", name);
        return found;
    }

signals:
    // The user closed the window and it went.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
};
