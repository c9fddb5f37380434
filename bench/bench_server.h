#pragma once

#include <httplib.h>

#include <deque>
#include <string>
#include <thread>

// A loopback HTTP server in a thread of its own. Every answer is made once,
// before any figure is taken (so it is no memory added by a click), and
// served from memory as a static page is: the endpoint's own work is no part
// of the time a click takes. It is never compressed, whatever
// Accept-Encoding says, so every client gets the same bytes. Paths: /reply (kReply), /1k, /10m-lines, /10m-line, /10m-nobreak,
// /50m-line (generated_answers.h).
class BenchServer {
public:
    BenchServer();
    ~BenchServer();
    BenchServer(const BenchServer &) = delete;
    BenchServer &operator=(const BenchServer &) = delete;

    std::string url(const char *path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    std::deque<std::string> answers_; // stays where it is as it grows
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};
