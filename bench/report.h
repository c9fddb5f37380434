#pragma once

#include "figures.h"

// Prints the goals, each a ratio to a floor measured in the same run with
// PASS or MISS against the most it may be; then the figures behind them;
// then one line "bench: key=value ..." with every figure. Returns how many
// goals were missed.
int printReport(const Figures &figures);

// The load goal alone (--only load).
int printLoadReport(const RepeatLoadFigures &load);
