#pragma once

#include <string>

// A field of /proc/self/status (or another process's), in MB.
double statusMb(const char *field, const std::string &statusFile = "/proc/self/status");
