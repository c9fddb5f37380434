#include "network_http_request.h"

#include "exchange_failure.h"
#include "post_failure.h"
#include "response_text.h"
#include "system_proxy.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace {

// Redirects followed at most, as browsers' request objects do.
constexpr int kMaxRedirects = 20;

bool isToken(QByteArrayView text)
{
    static constexpr QByteArrayView kSeparators = "()<>@,;:\\\"/[]?={} \t";
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c <= 0x20 || c >= 0x7f || kSeparators.contains(c))
            return false;
    }
    return true;
}

// The standard methods go on the wire in upper case, any other as given.
QByteArray normalizedMethod(const QString &method)
{
    const QByteArray upper = method.toLatin1().toUpper();
    for (const char *standard : {"DELETE", "GET", "HEAD", "OPTIONS", "POST", "PUT"}) {
        if (upper == standard)
            return upper;
    }
    return method.toLatin1();
}

PostFailure invalidCall(const QString &what)
{
    return PostFailure(PostFailure::InvalidCall, QStringLiteral("请求对象的调用不合规:%1").arg(what));
}

} // namespace

NetworkHttpRequest::NetworkHttpRequest(std::chrono::milliseconds stallTimeout)
    : stallTimeout_(stallTimeout)
{
}

void NetworkHttpRequest::Open(const QString &method, const QString &url, bool async)
{
    if (async)
        throw invalidCall(QStringLiteral("只支持同步发送"));
    if (!isToken(method.toLatin1())) // non-Latin-1 characters turn into '?', no token
        throw invalidCall(QStringLiteral("方法 \"%1\" 无效").arg(method));
    const QByteArray normalized = normalizedMethod(method);
    for (const char *forbidden : {"CONNECT", "TRACE", "TRACK"}) {
        if (normalized.toUpper() == forbidden)
            throw invalidCall(QStringLiteral("不允许使用方法 %1").arg(method));
    }

    // Only http and https are posted to: nothing is read from a file or any
    // other kind of address the user may type.
    static const QRegularExpression schemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QString scheme = schemePattern.match(url).captured(1).toLower();
    if (scheme != u"http" && scheme != u"https")
        throw PostFailure(PostFailure::UnsupportedScheme,
                          QStringLiteral("地址 \"%1\" 不是以 http:// 或 https:// 开头的地址,没有发送").arg(url));
    const QUrl parsed(url);
    if (!parsed.isValid())
        throw PostFailure(PostFailure::InvalidUrl, QStringLiteral("地址 \"%1\" 无效 (%2)").arg(url, parsed.errorString()));
    if (parsed.host().isEmpty())
        throw PostFailure(PostFailure::InvalidUrl, QStringLiteral("地址 \"%1\" 里没有主机名").arg(url));

    method_ = normalized;
    url_ = parsed;
    headers_.clear();
    responseBody_.clear();
    responseContentType_.reset();
    sent_ = false;
    state_ = Opened;
}

void NetworkHttpRequest::SetRequestHeader(const QString &name, const QString &value)
{
    if (state_ != Opened || sent_)
        throw invalidCall(QStringLiteral("先打开请求,再设置请求头"));
    const QByteArray headerName = name.toLatin1();
    const QByteArray headerValue = value.toUtf8().trimmed();
    if (!isToken(headerName))
        throw invalidCall(QStringLiteral("请求头名称 \"%1\" 无效").arg(name));
    if (headerValue.contains('\r') || headerValue.contains('\n') || headerValue.contains('\0'))
        throw invalidCall(QStringLiteral("请求头 %1 的值含有换行或空字符").arg(name));

    for (auto &[existingName, existingValue] : headers_) {
        if (existingName.compare(headerName, Qt::CaseInsensitive) == 0) {
            existingValue += ", " + headerValue;
            return;
        }
    }
    headers_.append({headerName, headerValue});
}

void NetworkHttpRequest::send(const QString &body)
{
    if (state_ != Opened || sent_)
        throw invalidCall(QStringLiteral("先打开请求,再发送"));
    sent_ = true;

    QNetworkRequest request(url_);
    for (const auto &[name, value] : headers_)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setTransferTimeout(static_cast<int>(stallTimeout_.count()));

    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory); // the manager owns it
    const QByteArray data = body.toUtf8();
    const std::unique_ptr<QNetworkReply> reply(method_ == "POST" ? manager.post(request, data)
                                                                 : manager.sendCustomRequest(request, method_, data));
    QList<QSslError> sslErrors;
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, [&sslErrors](const QList<QSslError> &errors) {
        sslErrors += errors; // recorded for the report, never ignored
    });

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!reply->isFinished()) {
        // The application is shutting down under the exchange.
        reply->abort();
        throw PostFailure(PostFailure::Network, QStringLiteral("程序正在退出,发送已中止"));
    }

    if (std::optional<PostFailure> failure = exchangeFailure(*reply, sslErrors, stallTimeout_))
        throw *failure;
    responseBody_ = reply->readAll();
    if (reply->hasRawHeader("Content-Type"))
        responseContentType_ = reply->rawHeader("Content-Type");
    state_ = Done;
}

int NetworkHttpRequest::readyState() const
{
    return state_;
}

QString NetworkHttpRequest::ResponseText() const
{
    if (state_ != Done)
        return QString();
    return decodeResponseText(responseBody_, responseContentType_);
}

std::unique_ptr<HttpRequest> createHttpRequest()
{
    return std::make_unique<NetworkHttpRequest>();
}
