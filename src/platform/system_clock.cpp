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
  std::tm local{};
};

const std::tm& LocalTimeOf(std::time_t seconds) {
  thread_local LocalSecond cached;
  if (cached.seconds != seconds) {
    localtime_r(&seconds, &cached.local);
    cached.seconds = seconds;
  }
  return cached.local;
}

}  // namespace

TDateTime SystemClock::Now() const {
  return LocalDateTime(std::chrono::system_clock::now());
}

TDateTime LocalDateTime(std::chrono::system_clock::time_point moment) {
  const int64_t ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
  // Rounded down, also before 1970, so the milliseconds stay in 0..999.
  const int64_t wholeSeconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  const std::time_t seconds = static_cast<std::time_t>(wholeSeconds);
  const std::tm& local = LocalTimeOf(seconds);
  DateTimeParts parts{local.tm_year + 1900,
                      local.tm_mon + 1,
                      local.tm_mday,
                      local.tm_hour,
                      local.tm_min,
                      local.tm_sec,
                      static_cast<int>(ms - wholeSeconds * 1000)};
  // A leap second (tm_sec 60) counts as the last second of its minute.
  if (parts.second > 59) {
    parts.second = 59;
  }
  return EncodeDateTime(parts).value_or(TDateTime{});
}

}  // namespace talvero
