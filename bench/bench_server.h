#pragma once

#include <httplib.h>

#include <string>
#include <thread>

// A loopback HTTP server in a thread of its own. Every answer is produced by
// a content provider with a known length: generated on the fly (the server
// holds no 10 MB copy that would count in this process's memory), and never
// compressed, whatever Accept-Encoding says, so every client gets the same
// bytes. Paths: /reply (kReply), /1k, /10m-lines, /10m-line, /10m-nobreak,
// /50m-line (generated_answers.h).
class BenchServer {
public:
    BenchServer();
    ~BenchServer();
    BenchServer(const BenchServer &) = delete;
    BenchServer &operator=(const BenchServer &) = delete;

    std::string url(const char *path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};
