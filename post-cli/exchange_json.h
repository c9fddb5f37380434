#pragma once

#include "platform/push_post.h"

#include <QByteArray>
#include <QJsonObject>

// One exchange as --json prints it: what was asked, the request as sent and
// the answer as received (head as text; body as text and, for the exact
// bytes, as base64), earlier hops of a redirect, timings, the verdict line by
// line and the failure. Fields that did not happen are null. Each body is cut
// at 1 MB, with its whole size and whether it was cut beside it.
QJsonObject exchangeJson(const PushPostOutcome &outcome, const QString &endpoint, int index);

// The object on one line, UTF-8, ending in a line feed.
QByteArray jsonLine(const QJsonObject &object);
