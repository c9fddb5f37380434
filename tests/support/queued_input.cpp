#include "queued_input.h"

#include <QWidget>
#include <QWindow>

#ifdef VELTRANE_QUEUED_INPUT

// The part of Qt's platform interface (qpa/qwindowsysteminterface.h, exported
// from Qt GUI) used here, declared as Qt declares it.
class QWindowSystemInterface {
public:
    struct AsynchronousDelivery {};
    template <typename Delivery>
    static bool handleMouseEvent(QWindow *window, const QPointF &local, const QPointF &global, Qt::MouseButtons state,
                                 Qt::MouseButton button, QEvent::Type type, Qt::KeyboardModifiers mods,
                                 Qt::MouseEventSource source);
};

bool queuedInputAvailable()
{
    return true;
}

void queueClick(QWidget *widget)
{
    QWindow *window = widget->window()->windowHandle();
    const QPointF local = widget->mapTo(widget->window(), widget->rect().center());
    const QPointF global = widget->mapToGlobal(widget->rect().center());
    for (const auto &[buttons, type] : {std::pair{Qt::MouseButtons(Qt::LeftButton), QEvent::MouseButtonPress},
                                        std::pair{Qt::MouseButtons(Qt::NoButton), QEvent::MouseButtonRelease}}) {
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
            window, local, global, buttons, Qt::LeftButton, type, Qt::NoModifier, Qt::MouseEventNotSynthesized);
    }
}

#else

bool queuedInputAvailable()
{
    return false;
}

void queueClick(QWidget *)
{
}

#endif
