#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLineEdit;
class QMenu;

// "最近的地址" for the endpoint box's menu: the last endpoints posted to,
// newest first, kept in the window's settings file beside the access
// settings. The box itself still starts with its default address.
class RecentEndpoints : public QObject {
    Q_OBJECT
public:
    static constexpr int kKept = 10;

    RecentEndpoints(QLineEdit *endpointBox, const QString &settingsFile, QObject *parent = nullptr);

    QMenu *menu() const { return menu_; }
    QStringList addresses() const;

public slots:
    // Puts the address first; an address already listed moves up.
    void remember(const QString &address);

private:
    void fillMenu();

    QLineEdit *const endpointBox_;
    const QString settingsFile_;
    QMenu *const menu_;
};
