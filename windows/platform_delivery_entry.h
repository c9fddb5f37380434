#pragma once

#include "platform/platform_delivery.h"

#include <QObject>

#include <optional>

class QAction;

// "平台投递": a checkable entry that, while checked, has the main window's
// post delivered as the platform delivers it (see window_delivery.h).
class PlatformDeliveryEntry : public QObject {
    Q_OBJECT
public:
    explicit PlatformDeliveryEntry(QObject *parent = nullptr);

    QAction *action() const { return action_; }
    // The rules the window posts by now; none: one post, as ever.
    std::optional<DeliveryRules> rules() const;

    // A test's seam: the platform's 5 s cut, shortened.
    void setCut(std::chrono::milliseconds cut) { rules_.cut = cut; }

private:
    QAction *const action_;
    DeliveryRules rules_;
};
