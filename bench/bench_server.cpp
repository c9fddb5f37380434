#include "bench_server.h"

#include "fail.h"
#include "generated_answers.h"

#include <algorithm>
#include <map>

namespace {

struct AnswerKind {
    AnswerShape shape;
    std::size_t size;
};

} // namespace

BenchServer::BenchServer()
{
    const std::map<std::string, AnswerKind> kinds = {
        {"/1k", {AnswerShape::Lines, 1024}},
        {"/10m-lines", {AnswerShape::Lines, 10'000'000}},
        {"/10m-line", {AnswerShape::Line, 10'000'000}},
        {"/10m-nobreak", {AnswerShape::NoBreak, 10'000'000}},
        {"/50m-line", {AnswerShape::Line, 50'000'000}},
    };
    server_.Post("/reply", [](const httplib::Request &, httplib::Response &response) {
        response.set_content_provider(kReply.size(), "text/xml; charset=utf-8",
                                      [](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                                          return sink.write(kReply.data() + offset, length);
                                      });
    });
    for (const auto &[path, kind] : kinds) {
        answers_.push_back(answerBytes(kind.shape, 0, kind.size));
        const std::string &answer = answers_.back();
        server_.Post(path, [&answer](const httplib::Request &, httplib::Response &response) {
            response.set_content_provider(answer.size(), "text/xml; charset=utf-8",
                                          [&answer](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                                              return sink.write(answer.data() + offset, std::min<std::size_t>(length, 1 << 16));
                                          });
        });
    }
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        fail("cannot listen on 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::yield();
}

BenchServer::~BenchServer()
{
    server_.stop();
    thread_.join();
}
