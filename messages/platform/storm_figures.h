#pragma once

#include "platform/storm_run.h"

#include <QList>
#include <QString>

// One second of the run, by when its posts were due.
struct StormSecond {
    int second = 0;
    int posts = 0;
    int answered = 0; // answered within the platform's 5 s, whatever the answer
    int late = 0;   // not answered within the platform's 5 s
    int failed = 0; // an error status, no connection, or an answer the platform cannot take
    double p50Ms = -1, p95Ms = -1; // of the answers that came
};

QList<StormSecond> stormSeconds(const QList<StormPost> &posts);

// One of the platform's alarms: its rule, the figures that count against it
// and whether they reach its threshold.
struct StormAlarm {
    QString rule;
    int worstCount = 0;        // the most in any 5 minutes of the run
    double worstWindowStart = 0; // seconds from the start of the run
    bool raised = false;
};

// The alarms of the platform's 接口报警, each counted per 5 minutes against its
// default threshold of 30: 请求超时 (no answer within 5 s), 回应失败 (an
// answer it cannot take), 连接失败 (no connection).
QList<StormAlarm> stormAlarms(const QList<StormPost> &posts);

// In Chinese: a line per second, the late count, and each alarm with its figures.
QString stormReport(const QList<StormPost> &posts, int requested, double rate);
