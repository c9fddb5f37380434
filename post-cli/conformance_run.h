#pragma once

#include "exit_status.h"
#include "platform/conformance.h"

#include <QString>

// The scorecard: one line per check (✔, ⚠ or ✘, the group and check, what was
// sent, what came back, what to fix), then a line of counts.
QString scorecard(const ConformanceRun &run);

// 0 when no check failed (warnings pass), 1 when one did, 3 when the endpoint
// could not be reached at all; with the line for standard error.
RunEnd conformanceEndOf(const ConformanceRun &run);
