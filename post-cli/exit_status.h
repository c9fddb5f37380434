#pragma once

#include "repeat_summary.h"
#include "platform/url_check.h"

#include <QString>

// What veltrane-post's exit status says; scripts and CI jobs rely on these.
enum class ExitStatus {
    Passed = 0,         // every exchange completed and every verdict line passed (warnings pass)
    VerdictFailed = 1,  // an exchange completed, but a verdict line failed
    UsageError = 2,     // the command line cannot be run
    ExchangeFailed = 3, // an exchange could not be carried out (or was given up: Ctrl+C)
};

struct RunEnd {
    ExitStatus status = ExitStatus::Passed;
    QString reason; // one line for standard error; empty when the run passed
};

// The status of a run of `requested` posts and the line that says why: a run
// ended early (Ctrl+C) outranks a failed exchange, which outranks a failed
// verdict. A failure is told as the window tells it.
RunEnd runEndOf(const RepeatSummary &summary, int requested);

// Text for one line of standard error: each line break (CR LF, LF or CR) a space.
QString oneLine(QString text);

// The window's words for a failure: "发送失败(错误 N):…", on one line.
QString failureLine(int number, const QString &description);

// The URL check: 0 passed, 1 the endpoint answered wrong, 3 the exchange failed.
RunEnd urlCheckEndOf(const UrlCheckResult &check);
