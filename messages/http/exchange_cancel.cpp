#include "http/curl_exchange.h"

void ExchangeCancel::cancel()
{
    cancelled_ = true;
    const std::lock_guard lock(mutex_);
    if (wake_)
        wake_(waiting_);
}
