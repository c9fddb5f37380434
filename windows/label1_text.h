#pragma once

#include "platform/push_post.h"

#include <QString>

class QFontMetrics;

// What the main window's one-line hint says while a post waits and after it:
// short enough for the line, the details being in the exchange window.

// "正在发送……已等 3 秒，按 Esc 取消".
QString waitingText(int secondsWaited);

// The platform's verdict in a few words, cut to fit `width` pixels:
// "平台判定：通过，7 毫秒", or what failed first and where to read more.
QString verdictText(const PushPostOutcome &outcome, const QFontMetrics &metrics, int width);
