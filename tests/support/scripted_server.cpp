#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace {

// Binds a listening socket on loopback, port chosen by the system.
int listenOnLoopback(bool ipv6, int &port)
{
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    sockaddr_storage address{};
    socklen_t length;
    if (ipv6) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        length = sizeof(sockaddr_in6);
    } else {
        auto *in = reinterpret_cast<sockaddr_in *>(&address);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    }
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen on loopback");
    }
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port
                      : reinterpret_cast<sockaddr_in *>(&address)->sin_port);
    return fd;
}

bool waitReadable(int fd, const std::atomic<bool> &stopping)
{
    pollfd entry{fd, POLLIN, 0};
    while (!stopping) {
        const int ready = ::poll(&entry, 1, 20);
        if (ready > 0)
            return true;
        if (ready < 0)
            return false;
    }
    return false;
}

} // namespace

ScriptedServer::Connection::Connection(int socket, const std::atomic<bool> &stopping)
    : socket_(socket)
    , stopping_(stopping)
{
}

std::string ScriptedServer::Connection::readRequest()
{
    std::string request;
    std::size_t wanted = std::string::npos;
    char buffer[65536];
    while (request.size() < wanted && waitReadable(socket_, stopping_)) {
        const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(got));
        const std::size_t headEnd = request.find("\r\n\r\n");
        if (wanted == std::string::npos && headEnd != std::string::npos) {
            std::size_t bodyLength = 0;
            std::string head = request.substr(0, headEnd);
            for (char &c : head)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::size_t field = head.find("\r\ncontent-length:");
            if (field != std::string::npos)
                bodyLength = std::stoul(head.substr(field + 17));
            wanted = headEnd + 4 + bodyLength;
        }
    }
    return request;
}

void ScriptedServer::Connection::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return; // the client went away; the script's test will see why
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void ScriptedServer::Connection::trickleUntilStopped(std::string_view piece, std::chrono::milliseconds every)
{
    while (!stopping_) {
        if (::send(socket_, piece.data(), piece.size(), MSG_NOSIGNAL) <= 0)
            return; // the client gave up
        std::this_thread::sleep_for(every);
    }
}

void ScriptedServer::Connection::holdUntilStopped()
{
    while (!stopping_)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

ScriptedServer::ScriptedServer(Script script, bool ipv6)
    : script_(std::move(script))
    , ipv6_(ipv6)
{
    listener_ = listenOnLoopback(ipv6_, port_);
    thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer()
{
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

QString ScriptedServer::url(const QString &target) const
{
    return QStringLiteral("http://%1:%2%3").arg(ipv6_ ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1")).arg(port_).arg(target);
}

void ScriptedServer::run()
{
    while (waitReadable(listener_, stopping_)) {
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        ++connections_;
        Connection connection(socket, stopping_);
        script_(connection);
        ::close(socket);
    }
}

int closedPort()
{
    int port = -1;
    ::close(listenOnLoopback(false, port));
    return port;
}
