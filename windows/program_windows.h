#pragma once

#include "exchange_actions.h"
#include "form1.h"
#include "form2.h"
#include "toolkit/program_wide_window.h"

struct AccessSettings;

// The program's windows, wired as it runs them: the main window with its
// settings, the one result window, and the exchanges every post records.
// The program and the bench both build them here.
class ProgramWindows {
public:
    explicit ProgramWindows(const AccessSettings &settings);
    ProgramWindows(const ProgramWindows &) = delete;
    ProgramWindows &operator=(const ProgramWindows &) = delete;

    Form1 &mainWindow() { return form_; }
    ProgramWideWindow<Form2> &resultWindow() { return results_; }

private:
    ProgramWideWindow<Form2> results_;
    Form1 form_;
    ExchangeActions exchanges_;
};
