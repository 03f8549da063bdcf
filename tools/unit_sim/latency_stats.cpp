#include "unit_sim/latency_stats.hpp"

#include <algorithm>
#include <cmath>

namespace talvero {

uint32_t Percentile(std::vector<uint32_t>& samples, double percent) {
  if (samples.empty()) {
    return 0;
  }
  const double rank = std::ceil(percent * static_cast<double>(samples.size()) / 100.0);
  const size_t index = std::clamp<size_t>(static_cast<size_t>(rank), 1, samples.size()) - 1;
  std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(index),
                   samples.end());
  return samples[index];
}

LatencySummary Summarise(std::vector<uint32_t>& samples) {
  LatencySummary out;
  out.count = samples.size();
  if (samples.empty()) {
    return out;
  }
  out.max = *std::max_element(samples.begin(), samples.end());
  out.p50 = Percentile(samples, 50);
  out.p99 = Percentile(samples, 99);
  return out;
}

}  // namespace talvero
