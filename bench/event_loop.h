#pragma once

#include <functional>

void processEventsFor(int ms);

// Spins the event loop until done() holds; false after the time-out.
bool spinUntil(const std::function<bool()> &done, double timeoutMs = 120'000);

// The share of one core that the GUI thread uses while the program sits
// idle for a while, events handled as they come (cursor blinking and all).
double idleCpuPercent(int ms);
