#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvero {

// Answer latencies in microseconds, summarised.
struct LatencySummary {
  size_t count = 0;
  uint32_t p50 = 0;
  uint32_t p99 = 0;
  uint32_t max = 0;
};

// The nearest-rank percentile (0 < percent <= 100) of the samples: the
// smallest sample that at least percent of all samples do not exceed. 0 for
// no samples. Reorders samples.
uint32_t Percentile(std::vector<uint32_t>& samples, double percent);

LatencySummary Summarise(std::vector<uint32_t>& samples);

}  // namespace talvero
