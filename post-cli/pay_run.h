#pragma once

#include "exit_status.h"
#include "pay_options.h"

// Carries out `veltrane-post --platform pay`: prints the platform's
// certificate, or sends the notification (with the platform's retries on
// --deliver or --time-scale). The answer of the last sending goes to
// standard output (with --json, a JSON line per sending instead), a line per
// sending and its verdict to standard error.
RunEnd runPay(const PayOptions &options);

// veltrane-post's whole run for `--platform pay` arguments: reads them (with
// VELTRANE_APIV3_KEY and, on --saved-settings, what the window saved), runs,
// writes the reason line and returns the exit status.
int runPayCommandLine(const QStringList &arguments, const SettingSources &sources);
