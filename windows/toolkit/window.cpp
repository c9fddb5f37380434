#include "window.h"

#include "program_icon.h"
#include "text_boxes.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

QWidget *createControl(const ControlLayout &layout, QWidget *container)
{
    const QString text = QString::fromUtf16(layout.text);
    switch (layout.kind) {
    case ControlKind::TextBox:
        if (layout.multiLine) {
            auto *box = new MultiLineTextBox(container);
            box->setText(text);
            return box;
        } else {
            auto *box = new SingleLineTextBox(container);
            box->setText(text);
            return box;
        }
    case ControlKind::CommandButton: {
        auto *button = new QPushButton(text, container);
        // Enter and Esc press no button of the program.
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case ControlKind::Frame: {
        auto *frame = new QGroupBox(text, container);
        frame->setFocusPolicy(Qt::NoFocus);
        return frame;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(text, container);
        label->setTextFormat(Qt::PlainText);
        if (layout.textColour.isValid()) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, layout.textColour);
            label->setPalette(palette);
        }
        return label;
    }
    }
    Q_UNREACHABLE();
}

} // namespace

Window::Window(const WindowLayout &layout, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QLatin1StringView(layout.name));
    setWindowTitle(QString::fromUtf16(layout.caption));
    setWindowIcon(programIcon());
    // Controls stand where the layout puts them; nothing lays them out again.
    setFixedSize(twipsToPixels(layout.clientWidth), twipsToPixels(layout.clientHeight));
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    std::vector<std::pair<int, QWidget *>> tabOrder;
    for (const ControlLayout &entry : layout.controls) {
        QWidget *container = *entry.container ? control<QWidget>(entry.container) : this;
        QWidget *widget = createControl(entry, container);
        widget->setObjectName(QLatin1StringView(entry.name));
        widget->setAccessibleName(QString::fromUtf16(entry.accessibleName));
        widget->setGeometry(twipsToPixels(entry.left), twipsToPixels(entry.top),
                            twipsToPixels(entry.width), twipsToPixels(entry.height));
        // A control holding its editor takes the focus through it.
        tabOrder.emplace_back(entry.tabIndex, widget->focusProxy() ? widget->focusProxy() : widget);
    }

    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

    // Focus starts in the first control, in tab order, that takes it.
    const auto first = std::find_if(tabOrder.begin(), tabOrder.end(), [](const auto &entry) {
        return entry.second->focusPolicy() & Qt::TabFocus;
    });
    if (first != tabOrder.end())
        first->second->setFocus(Qt::OtherFocusReason);
}

void Window::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
