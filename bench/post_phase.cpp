#include "post_phase.h"

#include "bench_server.h"
#include "curl_post.h"
#include "fail.h"
#include "generated_answers.h"
#include "platform/samples.h"
#include "timing.h"
#include "http/xml_post.h"

#include <QCoreApplication>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Lets the last call's leftovers run (Qt tears its HTTP thread down after
// XmlPost has returned, the server closes the connection), so that the next
// call is not charged with them.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// The CPU time a post costs the whole process (every thread, the loopback
// server's too, and whatever runs after the call returned), which other
// programs' load does not change as it changes waiting.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

} // namespace

PostFigures comparePosts(const BenchServer &server, int rounds)
{
    const QString sample = BuildTextSample();
    const std::string sampleBytes = sample.toStdString();
    const QString replyUrl = QString::fromStdString(server.url("/reply"));
    {
        std::string head;
        curlPost(server.url("/reply"), sampleBytes, &head, true);
        if (head.find("Content-Encoding") != std::string::npos || head.find("content-encoding") != std::string::npos)
            fail("the loopback server compressed an answer");
    }
    // Two ways: A B A B back to back, as asked; and each call after a
    // pause of 2 ms, so neither is charged with the other's leftovers.
    const auto postRounds = [&](bool settled) {
        std::vector<double> xmlPostTimes, curlTimes;
        for (int i = 0; i < 20 + rounds; ++i) {
            if (settled)
                settle();
            auto start = Clock::now();
            const QString answer = XmlPost(replyUrl, sample);
            const double a = msSince(start);
            if (settled)
                settle();
            start = Clock::now();
            const std::string curlAnswer = curlPost(server.url("/reply"), sampleBytes);
            const double b = msSince(start);
            if (answer != QString::fromStdString(kReply) || curlAnswer != kReply)
                fail("a post came back with another answer");
            if (i >= 20) { // after the warm-up
                xmlPostTimes.push_back(a);
                curlTimes.push_back(b);
            }
        }
        return std::pair{stats(xmlPostTimes), stats(curlTimes)};
    };
    PostFigures figures;
    figures.rounds = rounds;
    std::tie(figures.xmlPost, figures.curl) = postRounds(false);
    std::tie(figures.xmlPostPaused, figures.curlPaused) = postRounds(true);

    const auto cpuPerCall = [&](const std::function<void()> &post) {
        double cpu = 0;
        for (int i = 0; i < rounds; ++i) {
            settle();
            const double before = processCpuMs();
            post();
            settle();
            cpu += processCpuMs() - before;
        }
        return cpu / rounds;
    };
    figures.xmlPostCpuMs = cpuPerCall([&] { XmlPost(replyUrl, sample); });
    figures.curlCpuMs = cpuPerCall([&] { curlPost(server.url("/reply"), sampleBytes); });
    return figures;
}
