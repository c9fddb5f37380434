#pragma once

#include "exchange_actions.h"
#include "form1.h"
#include "form2.h"
#include "program_options.h"
#include "toolkit/program_wide_window.h"

// The program's windows, wired as it runs them: the main window with its
// settings, the one result window, and the exchanges every post records.
// The program and the bench both build them here.
class ProgramWindows {
public:
    // Runs with the saved settings as this run's command line overrides them.
    // The user's samples are in `samplesFolder`, or in their usual folder.
    explicit ProgramWindows(const AccessSettings &saved, const AccessOverrides &commandLine = {},
                            const QString &samplesFolder = {});
    ProgramWindows(const ProgramWindows &) = delete;
    ProgramWindows &operator=(const ProgramWindows &) = delete;

    Form1 &mainWindow() { return form_; }
    ProgramWideWindow<Form2> &resultWindow() { return results_; }

private:
    ProgramWideWindow<Form2> results_;
    Form1 form_;
    ExchangeActions exchanges_;
    AccessSettings saved_;
};
