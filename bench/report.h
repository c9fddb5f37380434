#pragma once

#include "figures.h"

// Prints the table, each figure against its target where it has one, then
// one line "bench: key=value ..." with every figure.
void printReport(const Figures &figures);
