#include "exchange_failure.h"

#include <QNetworkReply>
#include <QStringList>

namespace {

// Qt turns every 4xx and 5xx answer into an error of its own: they are
// complete answers all the same. Errors of the connection (cut off, reset,
// timed out) can come with a status too, and stay failures.
bool isAnsweredByServer(QNetworkReply::NetworkError error, const QVariant &status)
{
    if (!status.isValid() || status.toInt() < 400)
        return false;
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError)
        || error == QNetworkReply::ProtocolInvalidOperationError // 400, 418
        || error == QNetworkReply::ProxyAuthenticationRequiredError; // 407
}

QString endpointOf(const QUrl &url)
{
    const int port = url.port(url.scheme().toLower() == u"https" ? 443 : 80);
    const QString host = url.host().contains(u':') ? u'[' + url.host() + u']' : url.host();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace

std::optional<PostFailure> exchangeFailure(const QNetworkReply &reply, const QList<QSslError> &sslErrors,
                                           std::chrono::milliseconds stallTimeout)
{
    const QNetworkReply::NetworkError error = reply.error();
    if (error == QNetworkReply::NoError)
        return std::nullopt;
    if (isAnsweredByServer(error, reply.attribute(QNetworkRequest::HttpStatusCodeAttribute)))
        return std::nullopt;

    const QString cause = reply.errorString();
    const QString endpoint = endpointOf(reply.url());
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return PostFailure(PostFailure::ConnectionRefused, QStringLiteral("无法连接到 %1 (%2)").arg(endpoint, cause));
    case QNetworkReply::HostNotFoundError:
        return PostFailure(PostFailure::HostNotFound, QStringLiteral("找不到主机 %1 (%2)").arg(reply.url().host(), cause));
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the stall time-out is the only thing that cancels
        return PostFailure(PostFailure::TimedOut,
                           QStringLiteral("连接 %1 超时:%2 秒内没有任何进展 (timed out)")
                               .arg(endpoint)
                               .arg(std::chrono::duration<double>(stallTimeout).count()));
    case QNetworkReply::SslHandshakeFailedError: {
        if (sslErrors.isEmpty())
            return PostFailure(PostFailure::Certificate,
                               QStringLiteral("与 %1 建立安全连接失败 (%2)").arg(endpoint, cause));
        QStringList reasons;
        for (const QSslError &sslError : sslErrors)
            reasons << sslError.errorString();
        reasons.removeDuplicates();
        return PostFailure(PostFailure::Certificate,
                           QStringLiteral("%1 的证书未通过验证,没有发送 (%2)").arg(endpoint, reasons.join(u"; ")));
    }
    case QNetworkReply::RemoteHostClosedError:
        return PostFailure(PostFailure::ConnectionClosed,
                           QStringLiteral("%1 在回答完整之前关闭了连接 (%2)").arg(endpoint, cause));
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::ProtocolUnknownError:
        return PostFailure(PostFailure::Redirect, QStringLiteral("%1 的重定向没有被跟随 (%2)").arg(endpoint, cause));
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::UnknownContentError:
        return PostFailure(PostFailure::BadAnswer, QStringLiteral("%1 的回答不是有效的 HTTP (%2)").arg(endpoint, cause));
    default:
        break;
    }
    if (error >= QNetworkReply::ProxyConnectionRefusedError && error <= QNetworkReply::UnknownProxyError)
        return PostFailure(PostFailure::Proxy, QStringLiteral("代理服务器出错 (%1)").arg(cause));
    return PostFailure(PostFailure::Network, QStringLiteral("与 %1 的通信失败 (%2)").arg(endpoint, cause));
}
