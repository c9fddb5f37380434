#include "url_check_report.h"

#include "toolkit/busy_cursor.h"
#include "toolkit/message_box.h"

UrlCheckResult runUrlCheck(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest)
{
    const BusyCursor busy;
    return checkUrl(url, access, createRequest);
}

void reportUrlCheck(QWidget *parent, const UrlCheckResult &result)
{
    if (result.record.cancelled)
        return;
    // The check's own words say whether it passed and, when not, what came
    // back and where it first differs, or why no answer came.
    showMessage(parent, result.explanation, QStringLiteral("验证URL"));
}
