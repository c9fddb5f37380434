#include "stats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

Stats stats(std::vector<double> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.n = static_cast<int>(v.size());
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.p95 = v[static_cast<std::size_t>(std::ceil(0.95 * v.size())) - 1];
    s.min = v.front();
    s.max = v.back();
    return s;
}
