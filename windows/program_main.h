#pragma once

#include <functional>

class QWidget;

// The window program from its start to its end, as veltrane's main() runs
// it. beforeShow sees the main window just before it is first shown (the
// bench's start probe watches it for its first paint).
int runProgram(int argc, char *argv[], const std::function<void(QWidget &mainWindow)> &beforeShow = {});
