#pragma once

#include "http/exchange_record.h"
#include "pay/pay_notification.h"
#include "platform/verdict.h"

#include <QList>

// An answer after this is late: the platform gives up waiting and retries.
inline constexpr double kPayAnswerLimitMs = 5000;

// Would the payment platform take this answer to that notification as
// received? 200 or 204 is success, 4xx and 5xx failure (whose body should
// be {"code": "FAIL", "message": …}); a probe answered 2xx is a failure.
QList<VerdictLine> judgePayAnswer(const ExchangeRecord &record, PayNotificationKind kind);
