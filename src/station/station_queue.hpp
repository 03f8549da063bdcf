#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "station/station_line.hpp"

namespace talvero {

// The "Internal Buffer": lines waiting for the monitoring software's answer,
// oldest first. Unbounded; only an answer removes the head.
using StationQueue = std::deque<StationLine>;

// Lines that would be lost at shutdown; a lone heartbeat does not count.
size_t UnsentLineCount(const StationQueue& queue);

// What the service host logs when it stops with unsent lines.
std::string UnsentLinesNote(size_t count);

}  // namespace talvero
