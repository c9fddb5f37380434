#pragma once

#include "endpoint_server.h"
#include "pay_endpoint.h"

// Makes the server answer every path and method through AnswerPayNotification.
void ServePayEndpoint(httplib::Server &server, PayEndpointSettings settings, RequestLog log);
