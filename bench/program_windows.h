#pragma once

#include "form1.h"
#include "form2.h"
#include "toolkit/program_wide_window.h"

#include <memory>

// The main window and the program's one result window, made as main() makes them.
struct ProgramWindows {
    std::unique_ptr<ProgramWideWindow<Form2>> results;
    std::unique_ptr<Form1> form;
};
