#pragma once

#include "platform/conformance.h"

#include <QByteArray>
#include <QDateTime>

// The run as JUnit XML, as CI systems read it: one testsuite per group, one
// testcase per check; a failed check has a <failure> with its message, a
// warning passes with its text in <system-out>, a check that sent nothing is
// <skipped>.
QByteArray junitReport(const ConformanceRun &run, const QString &url, const QDateTime &started);
