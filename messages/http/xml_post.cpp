#include "http/xml_post.h"

#include <QScopeGuard>

QString XmlPost(const QString &url, const QString &body, const HttpRequestFactory &createRequest,
                ExchangeRecord *record)
{
    // One request object per post, released on every way out.
    const std::unique_ptr<HttpRequest> request = createRequest();
    // The record is taken on every way out too, a failure's included.
    const auto keepRecord = qScopeGuard([&] {
        if (record)
            *record = request->record();
    });
    request->Open(QStringLiteral("Post"), url, false);
    request->SetRequestHeader(QStringLiteral("Content-Type"), QStringLiteral("text/XML"));
    request->SetRequestHeader(QStringLiteral("Content-Type"), QStringLiteral("utf-8"));
    request->SetRequestHeader(QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded"));
    request->send(body);
    if (request->readyState() == HttpRequest::Done)
        return request->ResponseText();
    return QString();
}
