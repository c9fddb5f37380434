#include "recording_server.h"

RecordingServer::RecordingServer()
    : RecordingServer(std::make_unique<httplib::Server>(), "http")
{
}

RecordingServer::RecordingServer(std::unique_ptr<httplib::Server> server, const char *scheme)
    : server_(std::move(server))
    , scheme_(scheme)
    , answerer_([](const Request &) { return Answer{}; })
{
    start();
}

void RecordingServer::start()
{
    const auto handler = [this](const httplib::Request &request, httplib::Response &response) {
        const Request received{request.method, request.target, request.headers, request.body, request.remote_port};
        std::function<Answer(const Request &)> answerer;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(received);
            answerer = answerer_;
        }
        const Answer answer = answerer(received);
        response.status = answer.status;
        for (const auto &[name, value] : answer.headers)
            response.set_header(name, value);
        if (answer.contentType.empty())
            response.body = answer.body; // no Content-Type field at all
        else
            response.set_content(answer.body, answer.contentType.c_str());
    };
    server_->Post(".*", handler).Get(".*", handler).Put(".*", handler).Delete(".*", handler).Options(".*", handler);
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
        std::this_thread::yield();
}

RecordingServer::~RecordingServer()
{
    server_->stop();
    thread_.join();
}

void RecordingServer::setAnswer(Answer answer)
{
    setAnswerer([answer](const Request &) { return answer; });
}

void RecordingServer::setAnswerer(std::function<Answer(const Request &)> answerer)
{
    std::lock_guard lock(mutex_);
    answerer_ = std::move(answerer);
}

QString RecordingServer::url(const QString &target) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(QLatin1StringView(scheme_)).arg(port_).arg(target);
}

std::vector<RecordingServer::Request> RecordingServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}
