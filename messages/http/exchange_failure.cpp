#include "http/exchange_failure.h"

#include "http/proxy_choice.h"

#include <curl/curl.h>

#include <cstring>

namespace {

// CURLE_TOO_LARGE, which libcurl's headers name only from 8.6 on.
constexpr int kCurlTooLarge = 100;

QString endpointOf(const QUrl &url)
{
    const int port = url.port(url.scheme().toLower() == u"https" ? 443 : 80);
    const QString host = url.host().contains(u':') ? u'[' + url.host() + u']' : url.host();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

// A size as the user reads it: whole megabytes where it is some, else bytes.
QString sizeInWords(qint64 bytes)
{
    constexpr qint64 kMegabyte = qint64(1) << 20;
    if (bytes >= kMegabyte && bytes % kMegabyte == 0)
        return QStringLiteral("%1 MB").arg(bytes / kMegabyte);
    return QStringLiteral("%1 字节").arg(bytes);
}

} // namespace

PostFailure postFailureOf(std::exception_ptr thrown, const QUrl &url)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const PostFailure &failure) {
        return failure;
    } catch (const std::bad_alloc &) {
        return PostFailure(PostFailure::Network, QStringLiteral("内存不足,无法接收 %1 的回答").arg(endpointOf(url)));
    } catch (const std::exception &error) {
        return PostFailure(PostFailure::Network, QStringLiteral("接收 %1 的回答时出错 (%2)")
                                                     .arg(endpointOf(url), QString::fromLocal8Bit(error.what())));
    } catch (...) {
        return PostFailure(PostFailure::Network, QStringLiteral("接收 %1 的回答时出错").arg(endpointOf(url)));
    }
}

std::optional<PostFailure> exchangeFailure(const ExchangeResult &result, const QUrl &url,
                                           const ExchangeSettings &settings)
{
    const QString endpoint = endpointOf(url);
    if (result.cancelled)
        return PostFailure(PostFailure::Cancelled, QStringLiteral("发送已取消"));
    if (result.callbackFailure)
        return postFailureOf(result.callbackFailure, url);
    if (result.tooLarge)
        return PostFailure(PostFailure::AnswerTooLarge,
                           QStringLiteral("%1 的回答超过了 %2 的上限,已停止接收")
                               .arg(endpoint, sizeInWords(settings.answerLimit)));
    if (result.conflictingLengths)
        return PostFailure(PostFailure::BadAnswer,
                           QStringLiteral("%1 的回答给出了两个不同的长度 (Content-Length: %2 与 %3),无法确定回答在哪里结束")
                               .arg(endpoint, QString::fromLatin1(result.conflictingLengths->first),
                                    QString::fromLatin1(result.conflictingLengths->second)));
    const std::chrono::milliseconds stallTimeout = settings.stallTimeout;
    if (result.stalled)
        return PostFailure(PostFailure::TimedOut, QStringLiteral("连接 %1 超时:%2 秒内没有任何进展 (timed out)")
                                                      .arg(endpoint)
                                                      .arg(std::chrono::duration<double>(stallTimeout).count()));
    if (result.pastDeadline)
        return PostFailure(PostFailure::DeadlinePassed,
                           QStringLiteral("与 %1 的交互在 %2 秒的总时限内没有完成，已放弃：接收端的回答迟迟没有结束"
                                          "（比如一点一点地发）")
                               .arg(endpoint)
                               .arg(std::chrono::duration<double>(settings.deadline.value_or(stallTimeout)).count()));
    if (result.curlCode == CURLE_OK)
        return std::nullopt;

    const QString cause = result.message;
    if (!result.proxy.isEmpty() && result.curlCode == CURLE_COULDNT_CONNECT) {
        const QString reason = result.osError ? QString::fromLocal8Bit(std::strerror(result.osError)) : cause;
        return PostFailure(PostFailure::Proxy, QStringLiteral("无法连接到代理服务器 %1,没有发送到 %2 (%3)")
                                                   .arg(proxyAddressOf(result.proxy), endpoint, reason));
    }
    switch (result.curlCode) {
    case CURLE_COULDNT_CONNECT: {
        // The system's words say why: refused, unreachable...
        const QString reason = result.osError ? QString::fromLocal8Bit(std::strerror(result.osError)) : cause;
        return PostFailure(PostFailure::ConnectionRefused, QStringLiteral("无法连接到 %1 (%2)").arg(endpoint, reason));
    }
    case CURLE_COULDNT_RESOLVE_HOST:
        return PostFailure(PostFailure::HostNotFound, QStringLiteral("找不到主机 %1 (%2)").arg(url.host(), cause));
    case CURLE_OPERATION_TIMEDOUT:
        return PostFailure(PostFailure::TimedOut, QStringLiteral("连接 %1 超时 (%2)").arg(endpoint, cause));
    case CURLE_PEER_FAILED_VERIFICATION:
        return PostFailure(PostFailure::Certificate,
                           QStringLiteral("%1 的证书未通过验证,没有发送 (%2)").arg(endpoint, cause));
    case CURLE_SSL_CACERT_BADFILE:
        if (!result.caFile.isEmpty())
            return PostFailure(PostFailure::Certificate,
                               QStringLiteral("无法读取信任的证书文件 \"%1\"，没有发送到 %2：检查文件在不在、是不是 PEM 格式 (%3)")
                                   .arg(result.caFile, endpoint, cause));
        [[fallthrough]];
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
        return PostFailure(PostFailure::Certificate, QStringLiteral("与 %1 建立安全连接失败 (%2)").arg(endpoint, cause));
    case CURLE_GOT_NOTHING:
        return PostFailure(PostFailure::ConnectionClosed,
                           QStringLiteral("%1 没有回答就关闭了连接 (%2)").arg(endpoint, cause));
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_ERROR:
        return PostFailure(PostFailure::ConnectionClosed,
                           QStringLiteral("%1 在回答完整之前关闭了连接 (%2)").arg(endpoint, cause));
    case CURLE_RECV_ERROR:
        // With a system error the connection broke; without one the answer's
        // framing was wrong.
        if (result.osError)
            return PostFailure(PostFailure::ConnectionClosed,
                               QStringLiteral("%1 在回答完整之前断开了连接 (%2)").arg(endpoint, cause));
        return PostFailure(PostFailure::BadAnswer, QStringLiteral("%1 的回答不是有效的 HTTP (%2)").arg(endpoint, cause));
    case CURLE_OUT_OF_MEMORY:
    case kCurlTooLarge:
        // Before its head has ended, an answer is refused with one of these
        // for a head line over libcurl's limit (100 KB): libcurl 7.x says
        // out of memory, though memory is not what ran out; 8.6 and later
        // say too large.
        if (!result.headEnded)
            return PostFailure(PostFailure::BadAnswer,
                               QStringLiteral("%1 的回答头过大或无效 (一行超过 100 KB),没有接收").arg(endpoint));
        [[fallthrough]];
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return PostFailure(PostFailure::BadAnswer, QStringLiteral("%1 的回答不是有效的 HTTP (%2)").arg(endpoint, cause));
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
        return PostFailure(PostFailure::Proxy, QStringLiteral("代理服务器 %1 出错 (%2)")
                                                   .arg(proxyAddressOf(result.proxy), cause));
    case CURLE_URL_MALFORMAT:
        return PostFailure(PostFailure::InvalidUrl, QStringLiteral("地址 \"%1\" 无效 (%2)").arg(url.toString(), cause));
    default:
        return PostFailure(PostFailure::Network, QStringLiteral("与 %1 的通信失败 (%2)").arg(endpoint, cause));
    }
}

bool isHttpScheme(QStringView scheme)
{
    return scheme == u"http" || scheme == u"https";
}

std::optional<PostFailure> redirectRefused(const QUrl &from, const QUrl &to, const QString &location,
                                           int redirectsSoFar, int maxRedirects)
{
    const QString source = endpointOf(from);
    const QString scheme = to.scheme().toLower();
    if (!to.isValid() || (isHttpScheme(scheme) && to.host().isEmpty()))
        return PostFailure(PostFailure::Redirect,
                           QStringLiteral("%1 重定向到无效的地址 \"%2\",没有跟随").arg(source, location));
    if (!isHttpScheme(scheme))
        return PostFailure(PostFailure::Redirect,
                           QStringLiteral("%1 重定向到 \"%2\",它不是 http 或 https 地址,没有跟随")
                               .arg(source, to.toString()));
    if (from.scheme().toLower() == u"https" && scheme == u"http")
        return PostFailure(PostFailure::Redirect,
                           QStringLiteral("%1 从 https 重定向到不加密的 \"%2\",没有跟随").arg(source, to.toString()));
    if (redirectsSoFar >= maxRedirects)
        return PostFailure(PostFailure::Redirect,
                           QStringLiteral("重定向超过 %1 次,没有再跟随 (最后一次从 %2 到 \"%3\")")
                               .arg(maxRedirects)
                               .arg(source, to.toString()));
    return std::nullopt;
}
