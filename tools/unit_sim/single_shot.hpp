#pragma once

#include <cstdio>
#include <string>

#include "unit_sim/send_report.hpp"
#include "unit_sim/unit_options.hpp"

namespace talvero {

// Sends one frame as a unit and collects what the receiver sends back: the
// answer, and with --listen the frames that follow. Every wait is bounded by
// the time-out (or the listening time). With out set, reports as it goes.
SendResult SendOneFrame(const UnitOptions& options, const std::string& frame, std::FILE* out);

}  // namespace talvero
