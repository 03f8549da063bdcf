#pragma once

#include <cstdint>
#include <optional>

namespace talvero {

// A local date and time, counted in milliseconds since 1899-12-30 00:00 (the
// epoch of the day count the unit records and texts are defined on). Zero means
// "never". Whole milliseconds keep second arithmetic exact.
struct TDateTime {
  int64_t ms = 0;

  friend auto operator<=>(const TDateTime&, const TDateTime&) = default;
  bool IsZero() const { return ms == 0; }

  static constexpr int64_t kMsPerDay = 86'400'000;
};

struct DateTimeParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Gives nothing when the parts are no valid date and time (month 13, 30 February,
// hour 24, a year outside 1..9999 and so on).
std::optional<TDateTime> EncodeDateTime(const DateTimeParts& parts);
DateTimeParts DecodeDateTime(TDateTime moment);

TDateTime AddMilliseconds(TDateTime moment, int64_t ms);

// 2000-01-01 00:00:00, the base of the times in the unit database.
inline constexpr TDateTime kYear2000{36'526 * TDateTime::kMsPerDay};

}  // namespace talvero
