#pragma once

#include <string>

// Says why on stderr and ends the run with status 1.
[[noreturn]] void fail(const std::string &why);
