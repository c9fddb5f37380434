#include "http/network_http_request.h"

#include "http/browser_url.h"
#include "http/exchange_failure.h"
#include "http/exchange_worker.h"
#include "http/library_words.h"
#include "http/post_failure.h"
#include "http/response_text.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

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

// UTF-8 for the wire. A lone surrogate, which has no UTF-8 form, goes out as
// U+FFFD, as browsers send it (Qt would make it a '?').
QByteArray utf8ForTheWire(const QString &text)
{
    QString sound;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool paired = c.isHighSurrogate() ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                          : c.isLowSurrogate()  ? i > 0 && text[i - 1].isHighSurrogate()
                                                : true;
        if (!paired) {
            if (sound.isNull())
                sound = text;
            sound[i] = QChar::ReplacementCharacter;
        }
    }
    return (sound.isNull() ? text : sound).toUtf8();
}

// Redirects as browsers take them: 301 and 302 turn a POST into a GET, 303
// turns anything but GET and HEAD into a GET; the body and its headers go.
void redirect(ExchangeRequest &request, long status, const QUrl &target)
{
    const bool toGet = ((status == 301 || status == 302) && request.method == "POST")
                    || (status == 303 && request.method != "GET" && request.method != "HEAD");
    if (toGet) {
        request.method = "GET";
        request.body.reset();
        request.headers.removeIf([](const auto &header) {
            const QByteArray name = header.first.toLower();
            return name == "content-type" || name == "content-encoding" || name == "content-language"
                || name == "content-location";
        });
    }
    request.url = target.toEncoded();
}

// Only these make a browser follow the Location; a 300 or 305 with one is an
// answer like any other.
bool isFollowedRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

NetworkHttpRequest::NetworkHttpRequest(ExchangeSettings settings)
    : settings_(std::move(settings))
{
}

NetworkHttpRequest::NetworkHttpRequest(std::chrono::milliseconds stallTimeout)
{
    settings_.stallTimeout = stallTimeout;
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
    const QString address = cleanedAddress(url);
    static const QRegularExpression schemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    if (!isHttpScheme(schemePattern.match(address).captured(1).toLower()))
        throw PostFailure(PostFailure::UnsupportedScheme,
                          QStringLiteral("地址 \"%1\" 不是以 http:// 或 https:// 开头的地址,没有发送").arg(address));
    const QUrl parsed(address);
    if (!parsed.isValid())
        throw PostFailure(PostFailure::InvalidUrl, QStringLiteral("地址 \"%1\" 无效：%2").arg(address, urlErrorInChinese(parsed.errorString())));
    if (parsed.host().isEmpty())
        throw PostFailure(PostFailure::InvalidUrl, QStringLiteral("地址 \"%1\" 里没有主机名").arg(address));

    method_ = normalized;
    url_ = parsed;
    wireUrl_ = wireUrlOf(address);
    headers_.clear();
    responseText_.clear();
    record_ = {};
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

    const auto started = std::chrono::steady_clock::now();
    record_.started = QDateTime::currentDateTime();
    record_.method = QString::fromLatin1(method_);
    record_.url = QString::fromLatin1(wireUrl_);
    ExchangeRequest request{method_, wireUrl_, headers_, std::nullopt};
    if (method_ != "GET" && method_ != "HEAD")
        request.body = utf8ForTheWire(body);

    std::exception_ptr failed;
    try {
        // Waits here; the worker alone touches this object meanwhile.
        ExchangeWorker worker([&](ExchangeCancel &cancel) {
            try {
                carryOut(std::move(request), cancel);
            } catch (...) {
                failed = std::current_exception();
            }
        });
        worker.waitWith(settings_.waiter);
    } catch (const std::system_error &) {
        // No thread to be had: told like any other failure of the post.
        failed = std::current_exception();
    }
    record_.elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (failed) {
        const PostFailure failure = postFailureOf(failed, url_);
        noteFailure(record_, failure);
        throw failure;
    }
    state_ = Done;
}

void NetworkHttpRequest::carryOut(ExchangeRequest request, ExchangeCancel &cancel)
{
    QUrl current = url_;
    const auto started = std::chrono::steady_clock::now();
    for (int redirects = 0;; ++redirects) {
        // The deadline is the whole exchange's, redirects included.
        ExchangeSettings hopSettings = settings_;
        if (settings_.deadline)
            hopSettings.deadline = std::max(std::chrono::milliseconds(1),
                                            *settings_.deadline - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                      std::chrono::steady_clock::now() - started));
        const ExchangeResult result = runExchange(request, hopSettings, cancel);
        record_.hops.append(ExchangeHop{result.requestHead, request.body.value_or(QByteArray()), result.answerHead,
                                        result.body, result.status, result.connectedMs, result.firstByteMs,
                                        result.wholeMs});
        if (std::optional<PostFailure> failure = exchangeFailure(result, current, settings_))
            throw *failure;
        if (!(settings_.followRedirects && result.location && isFollowedRedirect(result.status))) {
            record_.contentType = result.contentType;
            responseText_ = decodeResponseText(result.body, result.contentType, &record_.decodingUsed);
            record_.answerText = responseText_;
            return;
        }
        const QString location = QString::fromUtf8(*result.location);
        const QUrl target = current.resolved(QUrl(location));
        if (std::optional<PostFailure> refused = redirectRefused(current, target, location, redirects, kMaxRedirects))
            throw *refused;
        redirect(request, result.status, target);
        current = target;
    }
}

int NetworkHttpRequest::readyState() const
{
    return state_;
}

QString NetworkHttpRequest::ResponseText() const
{
    return state_ == Done ? responseText_ : QString();
}

ExchangeRecord NetworkHttpRequest::record() const
{
    return record_;
}

std::unique_ptr<HttpRequest> createHttpRequest()
{
    return std::make_unique<NetworkHttpRequest>();
}
