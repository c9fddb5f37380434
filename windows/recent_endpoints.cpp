#include "recent_endpoints.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kKey = u"RecentEndpoints/addresses"_s;

} // namespace

RecentEndpoints::RecentEndpoints(QLineEdit *endpointBox, const QString &settingsFile, QObject *parent)
    : QObject(parent)
    , endpointBox_(endpointBox)
    , settingsFile_(settingsFile)
    , menu_(new QMenu(u"最近的地址"_s, endpointBox))
{
    menu_->setObjectName(u"recentEndpoints"_s);
    connect(menu_, &QMenu::aboutToShow, this, &RecentEndpoints::fillMenu);
    fillMenu(); // so that a closed menu already says what it holds
}

QStringList RecentEndpoints::addresses() const
{
    const QSettings stored(settingsFile_, QSettings::IniFormat);
    return stored.value(kKey).toStringList().mid(0, kKept);
}

void RecentEndpoints::remember(const QString &address)
{
    const QString kept = address.trimmed();
    if (kept.isEmpty())
        return;
    QStringList list = addresses();
    list.removeAll(kept);
    list.prepend(kept);
    // The file may hold the Token: made owner-only before QSettings writes
    // it, whose rename keeps these permissions.
    if (!QDir().mkpath(QFileInfo(settingsFile_).absolutePath()))
        return;
    if (QFile made(settingsFile_); !made.exists() && !made.open(QIODevice::WriteOnly))
        return;
    QFile::setPermissions(settingsFile_, QFile::ReadOwner | QFile::WriteOwner);
    QSettings stored(settingsFile_, QSettings::IniFormat);
    stored.setValue(kKey, list.mid(0, kKept));
}

void RecentEndpoints::fillMenu()
{
    menu_->clear();
    const QStringList list = addresses();
    for (const QString &address : list) {
        // "&" would be read as a mnemonic's mark: shown doubled, set as typed.
        QAction *use = menu_->addAction(QString(address).replace(u'&', u"&&"_s));
        connect(use, &QAction::triggered, endpointBox_, [box = endpointBox_, address] { box->setText(address); });
    }
    if (list.isEmpty())
        menu_->addAction(u"（还没有发送过）"_s)->setEnabled(false);
}
