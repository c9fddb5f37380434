#include "http/post_failure.h"

#include "http/exchange_record.h"

PostFailure::PostFailure(Number number, const QString &description)
    : std::runtime_error(description.toStdString())
    , number_(number)
    , description_(description)
{
}

void noteFailure(ExchangeRecord &record, const PostFailure &failure)
{
    record.failure = ExchangeFailureNote{failure.number(), failure.description()};
    record.cancelled = failure.number() == PostFailure::Cancelled;
}
