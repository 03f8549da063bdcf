#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "hosts/metrics_text.hpp"

namespace talvero {

// The fields of /proc/PID/stat that the process figures need.
struct ProcStat {
  uint64_t userTicks = 0;
  uint64_t systemTicks = 0;
  uint64_t startTicks = 0;  // after boot
  uint64_t virtualBytes = 0;
  uint64_t residentPages = 0;
};

// Reads /proc/PID/stat text; nothing when it is not such a line. The command
// name in parentheses may hold blanks and parentheses itself.
std::optional<ProcStat> ParseProcStat(std::string_view text);

// The "btime" of /proc/stat: the boot time in Unix seconds.
std::optional<uint64_t> ParseBootTime(std::string_view text);

// Reads /proc/self at this moment; nothing when a file cannot be read.
std::optional<ProcessStats> ReadProcessStats();

}  // namespace talvero
