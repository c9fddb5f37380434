#include "platform_delivery_entry.h"

#include <QAction>

PlatformDeliveryEntry::PlatformDeliveryEntry(QObject *parent)
    : QObject(parent)
    , action_(new QAction(QStringLiteral("平台投递"), this))
{
    action_->setObjectName(QStringLiteral("platformDelivery"));
    action_->setCheckable(true);
    action_->setToolTip(QStringLiteral("如平台那样投递：5 秒内没有答复完就断开，同一条消息最多发 3 次，再点一次恢复只发一次"));
}

std::optional<DeliveryRules> PlatformDeliveryEntry::rules() const
{
    return action_->isChecked() ? std::optional(rules_) : std::nullopt;
}
