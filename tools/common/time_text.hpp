#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.hpp"

namespace talvero {

// "yyyy-mm-dd hh:nn:ss.zzz": the moment a tool saw something, to the millisecond.
std::string MomentText(TDateTime moment);

// "yyyy-mm-dd hh:nn:ss" (24-hour clock) read as a local date and time; nothing
// for any other text or an impossible date.
std::optional<TDateTime> ParseDateTimeText(std::string_view text);

}  // namespace talvero
