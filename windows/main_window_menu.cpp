#include "main_window_menu.h"

#include "toolkit/text_boxes.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

MainWindowMenu::MainWindowMenu(QWidget *window, QLineEdit *endpointBox, MultiLineTextBox *xmlBox)
    : QObject(window)
    , window_(window)
    , endpointBox_(endpointBox)
    , xmlBox_(xmlBox)
{
    // The window sees the right clicks its frames, label and buttons leave
    // unhandled; the boxes' own menus are caught before they are made.
    for (QObject *watched : {static_cast<QObject *>(window_), static_cast<QObject *>(endpointBox_),
                             static_cast<QObject *>(xmlBox_)})
        watched->installEventFilter(this);
}

void MainWindowMenu::addActions(const QList<QAction *> &actions)
{
    for (QAction *action : actions) {
        action->setShortcutVisibleInContextMenu(true);
        // With the action's own context (Qt's default: the window), its
        // shortcut works wherever the focus is in this window.
        window_->addAction(action);
        actions_.append(action);
    }
}

void MainWindowMenu::addXmlBoxMenu(QMenu *menu)
{
    xmlBoxMenus_.append(menu);
}

void MainWindowMenu::addXmlBoxActions(const QList<QAction *> &actions)
{
    xmlBoxActions_.append(actions);
}

void MainWindowMenu::addEndpointBoxMenu(QMenu *menu)
{
    endpointBoxMenus_.append(menu);
}

bool MainWindowMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return false;
    const auto *request = static_cast<QContextMenuEvent *>(event);
    if (watched == endpointBox_) {
        QMenu *menu = endpointBox_->createStandardContextMenu();
        menu->addSeparator();
        menu->addActions(actions_);
        for (QMenu *submenu : std::as_const(endpointBoxMenus_))
            menu->addMenu(submenu);
        popUp(menu, request);
        return true;
    }
    if (watched == xmlBox_) {
        QMenu *menu = xmlBox_->createStandardContextMenu(request->pos());
        if (!xmlBoxActions_.isEmpty()) {
            menu->addSeparator();
            menu->addActions(xmlBoxActions_);
        }
        menu->addSeparator();
        menu->addActions(actions_);
        for (QMenu *submenu : std::as_const(xmlBoxMenus_))
            menu->addMenu(submenu);
        popUp(menu, request);
        return true;
    }
    if (watched == window_ && !actions_.isEmpty()) {
        auto *menu = new QMenu(window_);
        menu->addActions(actions_);
        popUp(menu, request);
        return true;
    }
    return false;
}

void MainWindowMenu::popUp(QMenu *menu, const QContextMenuEvent *event)
{
    menu->setObjectName(QStringLiteral("contextMenu"));
    // Shown without a nested event loop, and gone once it closes; the
    // actions stay with their owners.
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
