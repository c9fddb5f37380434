#pragma once

#include "platform/push_post.h"

#include <QByteArray>

// -v: each hop's request (head and body) and the answer's status line and
// headers, curl-style ("> " out, "< " in), then the verdict line by line.
QByteArray exchangeTrace(const PushPostOutcome &outcome);
