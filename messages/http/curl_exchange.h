#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

class ExchangeWaiter;

// One HTTP exchange, one request and its answer, on a connection of its own
// that is closed when the exchange is over. Redirects are not followed here.
struct ExchangeRequest {
    QByteArray method;
    QByteArray url; // fully encoded
    QList<std::pair<QByteArray, QByteArray>> headers;
    std::optional<QByteArray> body;
};

struct ExchangeSettings {
    // The exchange is given up when it makes no progress for this long.
    std::chrono::milliseconds stallTimeout{30'000};
    // The exchange is given up when it is not over this long after it began,
    // however it moves (an answer that trickles in); none: no such limit.
    std::optional<std::chrono::milliseconds> deadline;
    // PEM certificates trusted instead of the system's authorities; empty: the system's.
    QByteArray trustedCertificates;
    // A file of PEM certificates trusted instead of the system's authorities,
    // when no certificates are given above; empty: the environment's
    // CURL_CA_BUNDLE, then SSL_CERT_FILE, as curl takes them, else the system's.
    QString caFile;
    // The platform follows no redirect: a 3xx is the endpoint's answer. On,
    // the request object follows them as browsers do.
    bool followRedirects = false;
    // How a synchronous send waits for its worker; none: the calling thread blocks.
    ExchangeWaiter *waiter = nullptr;
    // An answer whose body, content coding undone, grows past this is cut off.
    qint64 answerLimit = qint64(256) << 20;
    // Sees each piece of the body as it arrives, on the worker (a seam for tests).
    std::function<void(QByteArrayView)> onBodyPiece;
};

struct ExchangeResult {
    int curlCode = 0; // 0: the answer came whole
    int osError = 0;
    QString message;  // the HTTP library's own words for a failure
    bool stalled = false;
    bool pastDeadline = false; // settings.deadline passed before the answer was whole
    bool cancelled = false;
    bool tooLarge = false;           // the body passed settings.answerLimit
    bool headEnded = false;          // the final answer's head came to its empty line
    std::optional<std::pair<QByteArray, QByteArray>> conflictingLengths; // two Content-Length values
    std::exception_ptr callbackFailure; // thrown inside one of the library's callbacks
    QByteArray proxy; // the proxy it went through; empty: none
    QString caFile;   // the file of trusted certificates it was told to use; empty: none
    long status = 0;
    std::optional<QByteArray> contentType;
    std::optional<QByteArray> location;
    QByteArray requestHead; // as it went on the wire
    QByteArray answerHead;  // the final head, status line to empty line
    QByteArray body;
    double connectedMs = -1, firstByteMs = -1, wholeMs = -1;
};

// Lets any thread give up an exchange running on another: it wakes the
// worker's wait on the network at once.
class ExchangeCancel {
public:
    void cancel();
    bool cancelled() const { return cancelled_; }

private:
    friend class CancelWatch; // the HTTP library's side
    std::atomic<bool> cancelled_ = false;
    std::mutex mutex_;
    // Wakes the wait the exchange is in, if any: set by the exchange, so
    // that this header needs nothing of the HTTP library.
    void (*wake_)(void *waiting) = nullptr;
    void *waiting_ = nullptr;
};

// Runs the exchange to its end on the calling thread, blocking it, with
// libcurl. Never throws: a failure, however it came, is in the result.
ExchangeResult runExchange(const ExchangeRequest &request, const ExchangeSettings &settings, ExchangeCancel &cancel);
