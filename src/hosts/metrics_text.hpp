#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/runtime_metrics.hpp"

namespace talvero {

// The process's standard figures, as /proc/self shows them.
struct ProcessStats {
  double cpuSeconds = 0;
  uint64_t residentBytes = 0;
  uint64_t virtualBytes = 0;
  uint64_t openFds = 0;
  uint64_t maxFds = 0;
  double startTimeSeconds = 0;  // since the Unix epoch
};

// Everything one scrape shows: the counters and what the receiver's state
// gives at the moment of the scrape.
struct MetricsSample {
  explicit MetricsSample(const RuntimeMetrics& counted) : counters(counted) {}

  const RuntimeMetrics& counters;
  uint64_t unitsInUse = 0;
  std::array<uint64_t, 3> unitsInTrouble{};  // levels 1, 2, 3
  uint64_t stationLinesQueued = 0;
  double oldestLineAgeSeconds = 0;  // 0 while the queue is empty
  bool stationOutputUp = false;
  // Unix times; the receiver's start while there has been no answer yet.
  double lastStationAnswerSeconds = 0;
  double lastHeartbeatAnswerSeconds = 0;
  std::optional<ProcessStats> process;  // none when /proc could not be read
};

// The Prometheus text exposition format, version 0.0.4.
std::string MetricsText(const MetricsSample& sample);

}  // namespace talvero
