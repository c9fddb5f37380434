#pragma once

#include "exit_status.h"
#include "pay_options.h"

// Carries out `veltrane-post --platform pay`: prints the platform's
// certificate, or sends the notification (with the platform's retries when
// a time scale is given). The answer of the last sending goes to standard
// output, a line per sending and its verdict to standard error.
RunEnd runPay(const PayOptions &options);

// veltrane-post's whole run for `--platform pay` arguments: reads them (with
// VELTRANE_APIV3_KEY), runs, writes the reason line and returns the exit status.
int runPayCommandLine(const QStringList &arguments);
