#pragma once

#include "endpoint.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// What the families' answers share: the content types, a one-line reason and
// the query's values.
inline constexpr char kPlainText[] = "text/plain; charset=utf-8";
inline constexpr char kXml[] = "text/xml; charset=utf-8";
inline constexpr char kJson[] = "application/json; charset=utf-8";

// A one-line reason, simplified so that what was sent cannot break the line.
EndpointAnswer reasonAnswer(int status, const QString &line);

// A value of the URL's query, decoded as a form would be. Read from the URL
// only: a form-coded body must not stand in for the query.
std::optional<std::string> queryValue(const std::string &query, std::string_view key);

// Checks signature over token, timestamp and nonce: the refusal to send, or none.
std::optional<EndpointAnswer> signatureRefusal(const std::string &token, const std::string &query);
