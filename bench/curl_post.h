#pragma once

#include <string>

// The same POST as XmlPost's, by a plain blocking client: a new easy handle,
// so a new connection, each call. The answer's head goes to *head if given;
// acceptGzip asks for a compressed answer (to check that none comes).
std::string curlPost(const std::string &url, const std::string &body, std::string *head = nullptr,
                     bool acceptGzip = false);
