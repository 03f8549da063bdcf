#pragma once

#include <string>

#include "station/station_queue.hpp"

namespace talvero {

// The question the monitor asks before it closes (Yes and No): plain when no
// line would be lost, a lone heartbeat counting as none, else with the count
// of every queued line.
std::string CloseQuestion(const StationQueue& queue);

}  // namespace talvero
