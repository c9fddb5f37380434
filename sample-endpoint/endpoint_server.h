#pragma once

#include "endpoint.h"

#include <httplib.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// Receives one line per request, from the server's worker threads.
using RequestLog = std::function<void(const std::string &line)>;

// Method, path, the Content-Type field as received, body size and status.
std::string RequestLogLine(const std::string &method, const std::string &path,
                           const std::optional<std::string> &contentType, std::size_t bodySize, int status);

// The socket options, the answer to what httplib refuses before routing,
// and the log line per request, whatever the routes.
void PrepareEndpointServer(httplib::Server &server, RequestLog log);

// Makes the server answer every path and method through AnswerRequest; the
// caller binds and listens.
void ServeEndpoint(httplib::Server &server, EndpointSettings settings, RequestLog log);
