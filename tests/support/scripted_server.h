#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

// A raw TCP server on loopback for faults that need control of every byte:
// each accepted connection is handed to the script, one at a time, on the
// server's own thread.
class ScriptedServer {
public:
    class Connection {
    public:
        Connection(int socket, const std::atomic<bool> &stopping);
        // The request's head and as much body as its Content-Length announces.
        std::string readRequest();
        void write(std::string_view bytes);
        // Keeps the connection open, silent, until the server stops.
        void holdUntilStopped();
        // Sends the piece again and again, one every `every`, until the
        // server stops or the client goes away: an answer that never ends.
        void trickleUntilStopped(std::string_view piece, std::chrono::milliseconds every);

    private:
        int socket_;
        const std::atomic<bool> &stopping_;
    };
    using Script = std::function<void(Connection &)>;

    explicit ScriptedServer(Script script, bool ipv6 = false);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    int port() const { return port_; }
    QString url(const QString &target = QStringLiteral("/api/")) const;
    int connections() const { return connections_; }

private:
    void run();

    Script script_;
    bool ipv6_;
    int listener_ = -1;
    int port_ = -1;
    std::atomic<bool> stopping_ = false;
    std::atomic<int> connections_ = 0;
    std::thread thread_;
};

// A loopback port that nothing listens on: a connection to it is refused.
int closedPort();
