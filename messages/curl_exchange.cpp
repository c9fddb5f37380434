#include "curl_exchange.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <curl/curl.h>

#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;

// Keeps the easy handle in the multi handle for as long as it lives.
class Attached {
public:
    Attached(CURLM *multi, CURL *easy) : multi_(multi), easy_(easy) { curl_multi_add_handle(multi_, easy_); }
    ~Attached() { curl_multi_remove_handle(multi_, easy_); }
    Attached(const Attached &) = delete;
    Attached &operator=(const Attached &) = delete;

private:
    CURLM *multi_;
    CURL *easy_;
};

std::size_t appendBody(char *data, std::size_t size, std::size_t count, void *body)
{
    static_cast<QByteArray *>(body)->append(data, qsizetype(size * count));
    return size * count;
}

// This machine's own addresses are never reached through a proxy, besides
// what no_proxy names.
QByteArray hostsWithoutProxy()
{
    QByteArray hosts = qgetenv("no_proxy");
    if (hosts.isEmpty())
        hosts = qgetenv("NO_PROXY");
    if (hosts.trimmed() == "*")
        return hosts;
    if (!hosts.isEmpty())
        hosts += ',';
    return hosts + "localhost,127.0.0.0/8,::1";
}

List requestHeaders(const ExchangeRequest &request)
{
    curl_slist *list = nullptr;
    for (const auto &[name, value] : request.headers)
        list = curl_slist_append(list, QByteArray(name + ": " + value).constData());
    // No "Expect: 100-continue" pause before a larger body: it goes at once.
    list = curl_slist_append(list, "Expect:");
    return List(list);
}

// Notes whether the answer's head came to its end, the empty line; a new
// status line (after a 100 Continue, say) starts a new head.
std::size_t watchHead(char *data, std::size_t size, std::size_t count, void *headEnded)
{
    const QByteArrayView line(data, qsizetype(size * count));
    *static_cast<bool *>(headEnded) = line == "\r\n" || line == "\n";
    return size * count;
}

std::optional<QByteArray> lastHeader(CURL *easy, const char *name)
{
    curl_header *header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK)
        return std::nullopt;
    return QByteArray(header->value);
}

// Everything that tells the exchange is moving: connected, secured, bytes.
curl_off_t progressOf(CURL *easy)
{
    curl_off_t connected = 0, secured = 0, headers = 0, down = 0, up = 0;
    curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
    curl_easy_getinfo(easy, CURLINFO_APPCONNECT_TIME_T, &secured);
    long headerBytes = 0;
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headerBytes);
    headers = headerBytes;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &up);
    return (connected > 0) + (secured > 0) + headers + down + up;
}

} // namespace

ExchangeResult runExchange(const ExchangeRequest &request, const ExchangeSettings &settings)
{
    ExchangeResult result;
    // What the handles point to outlives them.
    char errorText[CURL_ERROR_SIZE] = {};
    bool headEnded = false;
    const List headers = requestHeaders(request);
    const QByteArray noProxy = hostsWithoutProxy();
    const Easy easy(curl_easy_init());
    const Multi multi(curl_multi_init());
    if (!easy || !multi || !headers) {
        result.curlCode = CURLE_FAILED_INIT;
        result.message = QStringLiteral("cannot set up the HTTP library");
        return result;
    }
    CURL *e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Veltrane/" VELTRANE_VERSION);
    curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy.constData());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, watchHead);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &headEnded);
    if (!settings.trustedCertificates.isEmpty()) {
        curl_blob authorities{const_cast<char *>(settings.trustedCertificates.constData()),
                              std::size_t(settings.trustedCertificates.size()), CURL_BLOB_COPY};
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &authorities);
    }
    if (request.method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        if (request.method != "POST")
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.constData());
        if (request.body) {
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body->size()));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body->constData());
        }
    }

    const Attached attached(multi.get(), e);
    curl_off_t progress = -1;
    Clock::time_point lastProgress = Clock::now();
    for (int running = 1; running;) {
        curl_multi_perform(multi.get(), &running);
        if (!running)
            break;
        if (const curl_off_t now = progressOf(e); now != progress) {
            progress = now;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress >= settings.stallTimeout) {
            result.stalled = true;
            return result;
        }
        // Waits for the network a little at a time, handling the
        // application's other events in between.
        curl_multi_poll(multi.get(), nullptr, 0, 10, nullptr);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE)
            result.curlCode = message->data.result;
    }
    // The library takes a head cut off by the end of the connection for a
    // whole one; it is an answer that never came.
    if (result.curlCode == CURLE_OK && !headEnded) {
        result.curlCode = CURLE_PARTIAL_FILE;
        std::snprintf(errorText, sizeof errorText, "connection closed in the middle of the answer's head");
    }
    long osError = 0;
    curl_easy_getinfo(e, CURLINFO_OS_ERRNO, &osError);
    result.osError = int(osError);
    result.message = QString::fromUtf8(errorText);
    if (result.message.isEmpty() && result.curlCode != CURLE_OK)
        result.message = QString::fromUtf8(curl_easy_strerror(CURLcode(result.curlCode)));
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &result.status);
    result.contentType = lastHeader(e, "Content-Type");
    result.location = lastHeader(e, "Location");
    return result;
}
