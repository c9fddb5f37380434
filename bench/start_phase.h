#pragma once

#include "figures.h"
#include "program_windows.h"

#include <memory>

class PaintWatch;

// The main window started and painted, the first time (into windows) and
// later ones; this process's memory after the first start, and the program's
// own, started in a process of its own.
StartFigures measureStart(PaintWatch &watch, std::unique_ptr<ProgramWindows> &windows, bool quick);

// The program's processes and the bare window's, side by side, until first
// painted (the part of measureStart that the start goal rests on).
void compareStartProcesses(StartFigures &figures, bool quick);
