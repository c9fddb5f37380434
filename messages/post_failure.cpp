#include "post_failure.h"

PostFailure::PostFailure(Number number, const QString &description)
    : std::runtime_error(description.toStdString())
    , number_(number)
    , description_(description)
{
}
