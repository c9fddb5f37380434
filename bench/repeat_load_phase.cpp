#include "repeat_load_phase.h"

#include "curl_multi_floor.h"
#include "fail.h"
#include "platform/samples.h"
#include "platform/signed_post.h"
#include "timing.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kConcurrency = 16;
const QString kToken = QStringLiteral("bench");
// What Debian's libcurl asks for with every coding it can undo, as the exchange asks.
const QString kAcceptEncoding = QStringLiteral("deflate, gzip, br, zstd");

// A loopback socket: a free port found, or whether the endpoint listens yet.
int loopbackSocket(int port, bool connectIt)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int result = -1;
    if (connectIt)
        result = ::connect(socket, reinterpret_cast<sockaddr *>(&address), size) == 0 ? port : -1;
    else if (::bind(socket, reinterpret_cast<sockaddr *>(&address), size) == 0
             && ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        result = ntohs(address.sin_port);
    ::close(socket);
    return result;
}

// The sample endpoint, checking signatures, its request log thrown away.
class Endpoint {
public:
    Endpoint()
    {
        port_ = loopbackSocket(0, false);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(QStringLiteral(SAMPLE_ENDPOINT), {u"--port"_s, QString::number(port_), u"--token"_s, kToken});
        const auto start = Clock::now();
        while (loopbackSocket(port_, true) < 0) {
            if (process_.state() == QProcess::NotRunning || msSince(start) > 10'000)
                fail("the sample endpoint did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~Endpoint()
    {
        process_.terminate();
        process_.waitForFinished();
    }
    QString url() const { return u"http://127.0.0.1:%1/api/"_s.arg(port_); }

private:
    QProcess process_;
    int port_ = -1;
};

// Runs a program to its end; its standard output, or a failure of the bench.
QString runToEnd(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        fail((program + u" failed: "_s + QString::fromUtf8(process.readAllStandardError())).toStdString());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// veltrane-post --repeat: posts per second from its start to its exit.
double repeatRate(const QString &url, const QString &bodyFile, int posts)
{
    const auto start = Clock::now();
    const QString summary = runToEnd(QStringLiteral(VELTRANE_POST),
                                     {url, u"--body"_s, bodyFile, u"--token"_s, kToken, u"--repeat"_s,
                                      QString::number(posts), u"--concurrency"_s, QString::number(kConcurrency)});
    const double seconds = msSince(start) / 1000.0;
    // Every post answered and judged sound, or the rate means nothing.
    if (!summary.contains(u"完成 %1 次，发送失败 0 次"_s.arg(posts)) || !summary.contains(u"判定未通过：0 次"_s))
        fail(("veltrane-post --repeat did not pass: " + summary).toStdString());
    return posts / seconds;
}

// ab -c 16, a new connection each request: its own figure; -1 when it is
// missing. Asked for compressed answers as veltrane-post asks, or not at all.
double abRate(const QString &url, const QString &bodyFile, int posts, bool acceptEncoding)
{
    const QString ab = QStandardPaths::findExecutable(u"ab"_s);
    if (ab.isEmpty())
        return -1;
    QStringList arguments{u"-q"_s, u"-n"_s, QString::number(posts), u"-c"_s, QString::number(kConcurrency),
                          u"-p"_s, bodyFile, u"-T"_s, u"text/XML, utf-8, application/x-www-form-urlencoded"_s};
    if (acceptEncoding)
        arguments << u"-H"_s << u"Accept-Encoding: "_s + kAcceptEncoding;
    const QString out = runToEnd(ab, arguments << url);
    if (out.contains(u"Non-2xx"_s))
        fail("ab got answers other than 200");
    static const QRegularExpression rate(u"Requests per second:\\s+([0-9.]+)"_s);
    return rate.match(out).captured(1).toDouble();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

RepeatLoadFigures measureRepeatLoad(bool quick)
{
    const Endpoint endpoint;
    const QString body = BuildTextSample();
    QTemporaryFile bodyFile;
    if (!bodyFile.open() || bodyFile.write(body.toUtf8()) != body.toUtf8().size() || !bodyFile.flush())
        fail("cannot write the load's body");
    // The floor and ab post one signed URL over and over; veltrane-post signs each post afresh.
    AccessSettings access;
    access.token = kToken;
    const std::string signedUrl = signPost(endpoint.url(), body, access, freshSigningInputs()).url.toStdString();

    RepeatLoadFigures figures;
    figures.posts = quick ? 500 : 2000;
    figures.concurrency = kConcurrency;
    std::vector<double> repeat, floor;
    // Side by side, A B A B, after one of each to warm up.
    for (int round = 0; round < (quick ? 2 : 4); ++round) {
        const double a = repeatRate(endpoint.url(), bodyFile.fileName(), figures.posts);
        const double b = curlMultiFloorRate(signedUrl, body.toStdString(), figures.posts, kConcurrency);
        if (round > 0) {
            repeat.push_back(a);
            floor.push_back(b);
        }
    }
    figures.repeatRate = median(repeat);
    figures.floorRate = median(floor);
    figures.abRate = abRate(QString::fromStdString(signedUrl), bodyFile.fileName(), figures.posts, true);
    figures.abPlainRate = abRate(QString::fromStdString(signedUrl), bodyFile.fileName(), figures.posts, false);
    return figures;
}
