#pragma once

#include <vector>

struct Stats {
    int n = 0;
    double median = 0, p95 = 0, min = 0, max = 0;
};

Stats stats(std::vector<double> v);
