#include "fail.h"

#include <cstdio>
#include <cstdlib>

void fail(const std::string &why)
{
    std::fprintf(stderr, "veltrane-bench: %s\n", why.c_str());
    std::exit(1);
}
