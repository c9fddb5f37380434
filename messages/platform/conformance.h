#pragma once

#include "http/curl_exchange.h"
#include "platform/access_settings.h"
#include "platform/platform_delivery.h"
#include "platform/verdict.h"

#include <QList>
#include <QString>

// One check of a conformance run, as a scorecard line and a JUnit test case.
struct ConformanceCheck {
    QString group; // in Chinese: 地址校验, 样例推送, 重试投递, 伪造请求
    QString name;  // in Chinese, with the stable name in brackets where there is one
    VerdictLine::Outcome outcome = VerdictLine::Pass;
    QString sent;  // what went out
    QString got;   // what came back
    QString fix;   // what to fix; empty when there is nothing to
    double seconds = 0;
    bool skipped = false; // nothing was sent: the line only says why
};

struct ConformanceRun {
    QList<ConformanceCheck> checks;
    bool unreachable = false; // the endpoint could not be reached at all: only the first contact ran
};

// The groups in the order a run makes them.
QStringList conformanceGroups();

// Everything the platform does to an endpoint, one check each: the URL check,
// every sample of the settings' family in their mode, a push sent again as the
// platform retries it, and the forged requests. Needs a token. Posts go through
// request objects made by `createRequest` (cut at the platform's 5 s).
ConformanceRun runConformance(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest);

// What the answer was, on one line, for a scorecard.
QString answerGist(const ExchangeRecord &record);
