#include "endpoint_server.h"

#include <sys/socket.h>

#include <chrono>

std::string RequestLogLine(const std::string &method, const std::string &path,
                           const std::optional<std::string> &contentType, std::size_t bodySize, int status)
{
    return method + " " + path + " | Content-Type: " + contentType.value_or("(无)") + " | "
        + std::to_string(bodySize) + " 字节 | " + std::to_string(status);
}

void ServeEndpoint(httplib::Server &server, EndpointSettings settings, RequestLog log)
{
    const auto handler = [settings = std::move(settings)](const httplib::Request &request, httplib::Response &response) {
        const auto question = request.target.find('?');
        const EndpointRequest endpointRequest{
            request.method,
            request.path,
            question == std::string::npos ? std::string() : request.target.substr(question + 1),
            request.body,
        };
        const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
        const EndpointAnswer answer = AnswerRequest(settings, endpointRequest, now);
        response.status = answer.status;
        if (answer.status == 405) // the third-party platform has no URL check
            response.set_header("Allow", settings.platform == Platform::OpenPlatform ? "POST" : "GET, HEAD, POST");
        response.set_content(answer.body, answer.contentType.c_str());
    };
    server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Patch(".*", handler)
        .Delete(".*", handler).Options(".*", handler);
    PrepareEndpointServer(server, std::move(log));
}

void PrepareEndpointServer(httplib::Server &server, RequestLog log)
{

    // httplib's default, SO_REUSEPORT, would let a second endpoint listen on a
    // port already in use; SO_REUSEADDR alone still allows a quick restart.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    // Requests httplib refuses before routing (a bad request line, a body too
    // large) still get their one line.
    server.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty())
            response.set_content("请求无法处理：HTTP " + std::to_string(response.status) + "\n",
                                 "text/plain; charset=utf-8");
    });
    server.set_logger([log = std::move(log)](const httplib::Request &request, const httplib::Response &response) {
        std::optional<std::string> contentType;
        if (request.has_header("Content-Type"))
            contentType = request.get_header_value("Content-Type");
        log(RequestLogLine(request.method, request.path, contentType, request.body.size(), response.status));
    });
}
