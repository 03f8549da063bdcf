#pragma once

#include <string>
#include <string_view>

#include "station_sim/station_input.hpp"
#include "station_sim/station_line_tracker.hpp"

namespace talvero {

struct StationSummary {
  StationCounters counters;
  double linesPerSecond = 0;
  double elapsedSeconds = 0;
  std::string stopReason;  // "count", "duration", "signal", "line closed", "line failed"
};

// One received line for the screen: "yyyy-mm-dd hh:nn:ss.zzz  <line>" with its
// kind after it, bytes that are no text shown as \xNN.
std::string ReceivedLineText(std::string_view momentText, const StationInput& input,
                             const LineVerdict& verdict);

std::string StationSummaryText(const StationSummary& summary);
std::string StationSummaryJson(const StationSummary& summary);

}  // namespace talvero
