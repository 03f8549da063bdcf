#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/date_time.hpp"

namespace talvero {

// "yyyy.mm.dd hh:nn:ss", the stamp in front of every log line.
std::string TimeStampText(TDateTime moment);

// "yyyy-mm-dd", the name of a daily log file.
std::string LogDateText(TDateTime moment);

// A span as whole days, "d. " and the rest as "hh:nn:ss", e.g. "1d. 02:03:04".
// Parts of a second are dropped. A negative span (the clock was set back, or
// the moment lies ahead) keeps its sign in front: "-0d. 00:00:05".
std::string DurationText(std::chrono::milliseconds span);

// Whole seconds between moment and now, whichever comes first.
int64_t SecondsSince(TDateTime moment, TDateTime now);

}  // namespace talvero
