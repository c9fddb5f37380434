#include "process_memory.h"

#include <cstdlib>
#include <fstream>

double statusMb(const char *field, const std::string &statusFile)
{
    std::ifstream in(statusFile);
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtod(line.c_str() + key.size(), nullptr) / 1024.0; // kB
    }
    return -1;
}
