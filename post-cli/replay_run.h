#pragma once

#include "exit_status.h"
#include "har/har_import.h"
#include "http/http_request.h"
#include "post_options.h"

#include <QByteArray>

// What a run of --replay printed and how it ended.
struct ReplayRunResult {
    QByteArray out;  // standard output: the answer, the JSON line, or the list of POST entries
    QByteArray err;  // standard error: -v's trace and notes, before the run's one-line reason
    RunEnd end;
};

// The file's POST entries, one line each: number, time, URL, body size.
QString replayEntryList(const HarImport &import);

// --replay FILE [--entry N] [--resign] [URL]: the entry sent again, as
// recorded or signed afresh, printed as a normal post prints its answer.
ReplayRunResult runReplay(const PostOptions &options, const HttpRequestFactory &createRequest);
