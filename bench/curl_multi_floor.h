#pragma once

#include <string>

// The load's floor: the same POST as veltrane-post's (body, Content-Type,
// Accept-Encoding), `count` times and
// `concurrency` at a time, by one bare libcurl multi loop, each post on a new
// connection. Returns the posts per second; fails on any answer but a 200.
double curlMultiFloorRate(const std::string &url, const std::string &body, int count, int concurrency);
