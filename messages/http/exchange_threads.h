#pragma once

#include <functional>

// Runs a task on a thread kept for exchanges: an idle one when there is one,
// else a new one. A thread left idle ends after a few seconds, so a run of
// posts does not pay for a thread each, and a single post now and then
// leaves nothing behind for long. Throws std::system_error when no thread
// can be had. The task must not throw.
void runOnExchangeThread(std::function<void()> task);
