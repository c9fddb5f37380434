// The program's start as main() makes it, ended once the main window has
// been painted for the first time.
#include "first_paint_exit.h"
#include "program_main.h"

#include <QWidget>

#include <optional>

int main(int argc, char *argv[])
{
    std::optional<FirstPaintExit> exit;
    return runProgram(argc, argv, [&exit](QWidget &mainWindow) { exit.emplace(&mainWindow); });
}
