#include "url_check_report.h"

#include "post_failure.h"
#include "toolkit/busy_cursor.h"
#include "toolkit/message_box.h"
#include "url_check.h"

void reportUrlCheck(QWidget *parent, const QString &url, const AccessSettings &access,
                    const HttpRequestFactory &createRequest)
{
    const UrlCheckResult result = [&] {
        const BusyCursor busy;
        return checkUrl(url, access, createRequest);
    }();
    if (result.record.cancelled)
        return;
    if (const auto &failure = result.record.failure)
        throw PostFailure(PostFailure::Number(failure->number), failure->description);
    const QString verdict = result.passed ? QStringLiteral("验证URL:通过") : QStringLiteral("验证URL:未通过");
    showMessage(parent, result.explanation.isEmpty() ? verdict : verdict + u'\n' + result.explanation);
}
