#include "platform/system_clock.hpp"

#include <chrono>
#include <ctime>

namespace talvero {

TDateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  DateTimeParts parts{
      local.tm_year + 1900, local.tm_mon + 1,           local.tm_mday, local.tm_hour, local.tm_min,
      local.tm_sec,         static_cast<int>(ms % 1000)};
  // A leap second (tm_sec 60) counts as the last second of its minute.
  if (parts.second > 59) {
    parts.second = 59;
  }
  return EncodeDateTime(parts).value_or(TDateTime{});
}

}  // namespace talvero
