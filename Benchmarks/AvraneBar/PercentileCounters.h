#pragma once

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Percentiles.h"

namespace avrane::bench {

// A Google Benchmark's median, p99 and largest sample, as counters named after `prefix`.
inline void reportPercentiles(benchmark::State& state, const std::vector<double>& milliseconds,
                              const std::string& prefix = {}) {
    if (milliseconds.empty()) return;
    state.counters[prefix + "median_ms"] = percentile(milliseconds, 0.5);
    state.counters[prefix + "p99_ms"] = percentile(milliseconds, 0.99);
    state.counters[prefix + "max_ms"] = percentile(milliseconds, 1.0);
}

}  // namespace avrane::bench
