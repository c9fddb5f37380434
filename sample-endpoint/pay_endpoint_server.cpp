#include "pay_endpoint_server.h"

#include <chrono>

void ServePayEndpoint(httplib::Server &server, PayEndpointSettings settings, RequestLog log)
{
    const auto handler = [settings = std::move(settings)](const httplib::Request &request, httplib::Response &response) {
        const EndpointRequest endpointRequest{request.method, request.path, {}, request.body};
        const HeaderLookup header = [&request](const std::string &name) -> std::optional<std::string> {
            if (!request.has_header(name))
                return std::nullopt;
            return request.get_header_value(name);
        };
        const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch()).count();
        const EndpointAnswer answer = AnswerPayNotification(settings, endpointRequest, header, now);
        response.status = answer.status;
        response.set_content(answer.body, answer.contentType.c_str());
    };
    server.Get(".*", handler).Post(".*", handler).Put(".*", handler).Patch(".*", handler)
        .Delete(".*", handler).Options(".*", handler);
    PrepareEndpointServer(server, std::move(log));
}
