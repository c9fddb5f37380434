#include "http/curl_exchange.h"

#include "http/content_decoding.h"
#include "http/huge_pages.h"
#include "http/proxy_choice.h"

#include <QFile>
#include <QUrl>

#include <curl/curl.h>

#include <algorithm>
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

// The library's global state is set up once, by whichever thread comes first.
void setUpLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The handles of the thread's last exchange, kept for its next: setting up a
// multi handle (its wake-up sockets) and an easy handle each time cost a run
// of posts more than its exchanges. Each exchange resets every option and
// keeps no connection, DNS answer or TLS session of the one before.
struct ThreadHandles {
    Multi multi{curl_multi_init()};
    Easy easy{curl_easy_init()};
};

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

// What the library's callbacks fill in. They catch everything they could
// throw: no C++ exception may unwind through the library's C frames.
struct Receiving {
    const ExchangeSettings &settings;
    ExchangeResult &result;
    std::optional<QByteArray> contentLength; // of the head being read
    QList<QByteArray> codings;               // its content codings, in order
    std::unique_ptr<ContentDecoder> decoder; // made at the head's end when it names codings
    QString decodingError;
    bool reserved = false;

    // Keeps a decoded piece of the body, up to the limit.
    bool keep(QByteArrayView piece)
    {
        QByteArray &body = result.body;
        if (body.size() + piece.size() > settings.answerLimit) {
            result.tooLarge = true;
            return false;
        }
        if (settings.onBodyPiece)
            settings.onBodyPiece(piece);
        if (!std::exchange(reserved, true) && contentLength && codings.isEmpty()) {
            // One allocation for an announced body, none as it grows.
            const qint64 announced = contentLength->toLongLong();
            if (announced > 0 && announced <= settings.answerLimit) {
                body.reserve(qsizetype(announced));
                preferHugePages(body.data(), body.capacity());
            }
        }
        body.append(piece);
        return true;
    }

    void fail() noexcept { result.callbackFailure = std::current_exception(); }
};

bool isHeaderNamed(QByteArrayView line, QByteArrayView name)
{
    return line.size() > name.size() && line[name.size()] == ':'
        && line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0;
}

std::size_t receiveBody(char *data, std::size_t size, std::size_t count, void *context) noexcept
{
    auto &receiving = *static_cast<Receiving *>(context);
    const QByteArrayView bytes(data, qsizetype(size * count));
    try {
        const bool kept = receiving.decoder
            ? receiving.decoder->feed(bytes, [&receiving](QByteArrayView piece) { return receiving.keep(piece); })
            : receiving.keep(bytes);
        if (!kept && receiving.decoder)
            receiving.decodingError = receiving.decoder->error();
        return kept ? size * count : CURL_WRITEFUNC_ERROR;
    } catch (...) {
        receiving.fail();
        return CURL_WRITEFUNC_ERROR;
    }
}

// Keeps the final answer's head: a status line (after a 100 Continue, say)
// starts a new head; lines after the head's empty line are trailers.
std::size_t receiveHead(char *data, std::size_t size, std::size_t count, void *context) noexcept
{
    auto &receiving = *static_cast<Receiving *>(context);
    ExchangeResult &result = receiving.result;
    const QByteArrayView line(data, qsizetype(size * count));
    try {
        if (line.startsWith("HTTP/")) {
            result.answerHead.clear();
            result.headEnded = false;
            receiving.contentLength.reset();
            receiving.codings.clear();
            receiving.decoder.reset();
        } else if (result.headEnded) {
            return size * count;
        }
        result.answerHead.append(line);
        if (line == "\r\n" || line == "\n") {
            result.headEnded = true;
            if (!receiving.codings.isEmpty())
                receiving.decoder = std::make_unique<ContentDecoder>(receiving.codings);
        } else if (isHeaderNamed(line, "content-length")) {
            // Repeated, the same value is harmless; two values leave the
            // answer's end ambiguous, so the exchange stops here.
            for (const QByteArray &value : line.sliced(15).toByteArray().split(',')) {
                const QByteArray length = value.trimmed();
                if (!receiving.contentLength)
                    receiving.contentLength = length;
                else if (*receiving.contentLength != length) {
                    result.conflictingLengths = std::pair(*receiving.contentLength, length);
                    return CURL_WRITEFUNC_ERROR;
                }
            }
        } else if (isHeaderNamed(line, "content-encoding")) {
            receiving.codings += line.sliced(17).toByteArray().split(',');
        }
        return size * count;
    } catch (...) {
        receiving.fail();
        return CURL_WRITEFUNC_ERROR;
    }
}

// Keeps the request's head as it went on the wire. A head that is complete
// already belongs to an earlier request (a proxy's CONNECT): the next replaces it.
int watchWire(CURL *, curl_infotype type, char *data, std::size_t size, void *context) noexcept
{
    if (type != CURLINFO_HEADER_OUT)
        return 0;
    auto &receiving = *static_cast<Receiving *>(context);
    try {
        QByteArray &head = receiving.result.requestHead;
        if (head.endsWith("\r\n\r\n"))
            head.clear();
        head.append(data, qsizetype(size));
    } catch (...) {
        receiving.fail();
    }
    return 0;
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

double millisecondsOf(CURL *easy, CURLINFO what)
{
    curl_off_t microseconds = 0;
    curl_easy_getinfo(easy, what, &microseconds);
    return microseconds > 0 ? double(microseconds) / 1000.0 : -1;
}

// The authorities' file: the settings', else the environment's as curl reads it.
QString trustedCaFile(const ExchangeSettings &settings)
{
    if (!settings.caFile.isEmpty())
        return settings.caFile;
    for (const char *variable : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        if (const QString file = qEnvironmentVariable(variable); !file.isEmpty())
            return file;
    }
    return {};
}

} // namespace

// Registers the multi handle being waited on, so that a cancel can wake it.
class CancelWatch {
public:
    CancelWatch(ExchangeCancel &cancel, CURLM *multi) : cancel_(cancel)
    {
        const std::lock_guard lock(cancel_.mutex_);
        cancel_.wake_ = [](void *waiting) { curl_multi_wakeup(static_cast<CURLM *>(waiting)); };
        cancel_.waiting_ = multi;
    }
    ~CancelWatch()
    {
        const std::lock_guard lock(cancel_.mutex_);
        cancel_.wake_ = nullptr;
        cancel_.waiting_ = nullptr;
    }
    CancelWatch(const CancelWatch &) = delete;
    CancelWatch &operator=(const CancelWatch &) = delete;

private:
    ExchangeCancel &cancel_;
};

ExchangeResult runExchange(const ExchangeRequest &request, const ExchangeSettings &settings, ExchangeCancel &cancel)
{
    setUpLibraryOnce();
    ExchangeResult result;
    // What the handles point to outlives them.
    char errorText[CURL_ERROR_SIZE] = {};
    Receiving receiving{settings, result, {}, {}, {}, {}, false};
    const List headers = requestHeaders(request);
    const QUrl url = QUrl::fromEncoded(request.url);
    result.proxy = proxyFor(url.scheme().toLatin1(), url.host(QUrl::EncodeUnicode));
    thread_local ThreadHandles handles;
    const Easy &easy = handles.easy;
    const Multi &multi = handles.multi;
    if (!easy || !multi || !headers) {
        result.curlCode = CURLE_FAILED_INIT;
        result.message = QStringLiteral("cannot set up the HTTP library");
        return result;
    }
    CURL *e = easy.get();
    curl_easy_reset(e);
    curl_easy_setopt(e, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    // As a new handle each time: the name looked up afresh, a full TLS handshake.
    curl_easy_setopt(e, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L); // undone by ContentDecoder
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Veltrane/" VELTRANE_VERSION);
    // Empty: no proxy at all, whatever the environment says.
    curl_easy_setopt(e, CURLOPT_PROXY, result.proxy.constData());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    // Read in large gulps: at the default 16 KB, a 10 MB answer takes 640
    // turns of the transfer loop.
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, receiveBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &receiving);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, receiveHead);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &receiving);
    // The request's head is only told through the debug function.
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchWire);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &receiving);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    if (!settings.trustedCertificates.isEmpty()) {
        curl_blob authorities{const_cast<char *>(settings.trustedCertificates.constData()),
                              std::size_t(settings.trustedCertificates.size()), CURL_BLOB_COPY};
        curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &authorities);
    } else if (result.caFile = trustedCaFile(settings); !result.caFile.isEmpty()) {
        // Verified as ever, against these authorities only (the library copies the name).
        curl_easy_setopt(e, CURLOPT_CAINFO, QFile::encodeName(result.caFile).constData());
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
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

    {
        const Attached attached(multi.get(), e);
        const CancelWatch watch(cancel, multi.get());
        curl_off_t progress = -1;
        const Clock::time_point started = Clock::now();
        Clock::time_point lastProgress = started;
        for (int running = 1; running;) {
            if (cancel.cancelled()) {
                result.cancelled = true;
                break;
            }
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK || !running)
                break;
            const Clock::time_point now = Clock::now();
            if (settings.deadline && now - started >= *settings.deadline) {
                result.pastDeadline = true;
                break;
            }
            if (const curl_off_t moved = progressOf(e); moved != progress) {
                progress = moved;
                lastProgress = now;
            } else if (now - lastProgress >= settings.stallTimeout) {
                result.stalled = true;
                break;
            }
            // Sleeps until the network, the library's own timers, a cancel,
            // the stall limit or the deadline wakes it.
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                lastProgress + settings.stallTimeout - now);
            if (settings.deadline)
                left = std::min(left, std::chrono::duration_cast<std::chrono::milliseconds>(started + *settings.deadline - now));
            curl_multi_poll(multi.get(), nullptr, 0, int(std::clamp<qint64>(left.count() + 1, 1, 1000)), nullptr);
        }
        int left = 0;
        while (CURLMsg *message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg == CURLMSG_DONE)
                result.curlCode = message->data.result;
        }
    }
    if (!receiving.decodingError.isEmpty()) {
        result.curlCode = CURLE_BAD_CONTENT_ENCODING;
        std::snprintf(errorText, sizeof errorText, "%s", receiving.decodingError.toUtf8().constData());
    }
    // The library takes a head cut off by the end of the connection for a
    // whole one; it is an answer that never came.
    if (result.curlCode == CURLE_OK && !result.headEnded && !result.cancelled && !result.stalled
        && !result.pastDeadline) {
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
    result.connectedMs = millisecondsOf(e, CURLINFO_CONNECT_TIME_T);
    result.firstByteMs = millisecondsOf(e, CURLINFO_STARTTRANSFER_TIME_T);
    result.wholeMs = millisecondsOf(e, CURLINFO_TOTAL_TIME_T);
    return result;
}
