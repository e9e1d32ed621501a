#pragma once

#include <algorithm>
#include <vector>

namespace quillonde::bench {

/// The middle of the figures of several runs: what a benchmark reports on a noisy machine.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace quillonde::bench
