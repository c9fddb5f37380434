#pragma once

#include <QList>
#include <QObject>

class QAction;
class QContextMenuEvent;
class QLineEdit;
class QMenu;
class MultiLineTextBox;
class QWidget;

// The main window's context menu: a right click anywhere on the window (its
// frames, label and buttons) opens the actions added here; both boxes keep
// their own editing menus with these actions after a separator, and the XML
// box also gets the submenus added for it. Other windows' entries come in
// through addActions / addXmlBoxMenu, in the order they are added.
class MainWindowMenu : public QObject {
    Q_OBJECT
public:
    MainWindowMenu(QWidget *window, QLineEdit *endpointBox, MultiLineTextBox *xmlBox);

    // Shown in every one of the menus, with their shortcuts, which also work
    // anywhere in the window; the caller keeps ownership.
    void addActions(const QList<QAction *> &actions);
    // Shown in the XML box's menu only, after the actions.
    void addXmlBoxMenu(QMenu *menu);
    // Shown in the XML box's menu only, after its own entries; their owner
    // sets where their shortcuts work.
    void addXmlBoxActions(const QList<QAction *> &actions);
    // Shown in the endpoint box's menu only, after the actions.
    void addEndpointBoxMenu(QMenu *menu);

    QList<QAction *> actions() const { return actions_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popUp(QMenu *menu, const QContextMenuEvent *event);

    QWidget *const window_;
    QLineEdit *const endpointBox_;
    MultiLineTextBox *const xmlBox_;
    QList<QAction *> actions_;
    QList<QMenu *> xmlBoxMenus_;
    QList<QAction *> xmlBoxActions_;
    QList<QMenu *> endpointBoxMenus_;
};
