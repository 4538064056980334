#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace avrane::bench {

// The figures' one rule for a percentile: the sample at that fraction of the sorted samples
// (rounded down; 0.5 the median, 1.0 the largest). 0 for no samples.
inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

}  // namespace avrane::bench
