#pragma once

#include <string>

#include "base/date_time.hpp"
#include "engine/date_time_text.hpp"

namespace talvero {

// "yyyy-mm-dd hh:nn:ss.zzz": the moment a tool saw something, to the millisecond.
std::string MomentText(TDateTime moment);

}  // namespace talvero
