#pragma once

#include "form1.h"
#include "platform/platform_delivery.h"

#include <functional>

// 平台投递 from the main window: the box's push tried as the platform tries
// it (the cut, up to three tries, each signed afresh). Every try but the last
// goes to `earlierTry` as it ends, so the exchange window lists each; the
// last try's outcome comes back with the summary of all of them above its
// answer, and each try's verdict opens with what that try got.
PushPostOutcome deliverFromWindow(const PushPostOrder &order, const DeliveryRules &rules, const ExchangeSettings &settings,
                                  const PostRequestFactory &createRequest,
                                  const std::function<void(const PushPostOutcome &)> &earlierTry);
