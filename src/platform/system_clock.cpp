#include "platform/system_clock.hpp"

#include <chrono>
#include <ctime>

namespace talvero {
namespace {

// The local time of one whole second. Every frame takes the time several
// times, and localtime_r costs more than the rest of it; within one second
// its answer stays the same. One per thread: the clock is shared.
struct LocalSecond {
  std::time_t seconds = -1;
  TDateTime start;  // the second's own time, at millisecond 0
};

TDateTime StartOfSecond(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  DateTimeParts parts{local.tm_year + 1900,
                      local.tm_mon + 1,
                      local.tm_mday,
                      local.tm_hour,
                      local.tm_min,
                      local.tm_sec,
                      0};
  // A leap second (tm_sec 60) counts as the last second of its minute.
  if (parts.second > 59) {
    parts.second = 59;
  }
  return EncodeDateTime(parts).value_or(TDateTime{});
}

}  // namespace

TDateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  if (ms < 0) {
    return TDateTime{};  // before 1970: no clock of this machine is set so
  }
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  thread_local LocalSecond cached;
  if (cached.seconds != seconds) {
    cached.start = StartOfSecond(seconds);
    cached.seconds = seconds;
  }
  if (cached.start.IsZero()) {
    return cached.start;
  }
  // Milliseconds add to the second's time as they are: TDateTime counts them.
  return TDateTime{cached.start.ms + ms % 1000};
}

TDateTime LocalDateTime(std::chrono::system_clock::time_point moment) {
  const int64_t ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
  // Rounded down, also before 1970, so the milliseconds stay in 0..999.
  const int64_t wholeSeconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  const TDateTime start = StartOfSecond(static_cast<std::time_t>(wholeSeconds));
  return start.IsZero() ? start : TDateTime{start.ms + (ms - wholeSeconds * 1000)};
}

}  // namespace talvero
