#pragma once

#include <httplib.h>

#include <QString>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on 127.0.0.1 and a free port, in a thread of its own,
// that records every request it gets and answers with what the test set.
class RecordingServer {
public:
    struct Request {
        std::string method;
        std::string target; // path and query, as sent
        httplib::Headers headers;
        std::string body;
        int remotePort;
    };
    struct Answer {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        std::string body;
        httplib::Headers headers = {};
    };

    RecordingServer();
    // For a TLS server: one made by the test, started by this class.
    explicit RecordingServer(std::unique_ptr<httplib::Server> server, const char *scheme);
    ~RecordingServer();
    RecordingServer(const RecordingServer &) = delete;
    RecordingServer &operator=(const RecordingServer &) = delete;

    void setAnswer(Answer answer);
    // Answers each request as the function decides, from the server's thread.
    void setAnswerer(std::function<Answer(const Request &)> answerer);

    QString url(const QString &target = QStringLiteral("/api/")) const;
    int port() const { return port_; }
    std::vector<Request> requests() const;

private:
    void start();

    std::unique_ptr<httplib::Server> server_;
    const char *scheme_;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::function<Answer(const Request &)> answerer_;
};
