#pragma once

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

// Order statistics over a handful of timings. Every function takes its
// samples by value and returns 0 for an empty set.
namespace sv::bench {

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

inline double mean(const std::vector<double> &v)
{
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

// Nearest-rank percentile, p in [0, 100].
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const double rank = std::ceil(p / 100.0 * double(v.size()));
    const size_t index = size_t(std::clamp(rank, 1.0, double(v.size()))) - 1;
    return v[index];
}

inline double maximum(const std::vector<double> &v)
{
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

} // namespace sv::bench
