#include "log/time_text.hpp"

#include <fmt/format.h>

namespace talvero {

std::string TimeStampText(TDateTime moment) {
  const auto p = DecodeDateTime(moment);
  return fmt::format("{:04}.{:02}.{:02} {:02}:{:02}:{:02}", p.year, p.month, p.day, p.hour,
                     p.minute, p.second);
}

std::string LogDateText(TDateTime moment) {
  const auto p = DecodeDateTime(moment);
  return fmt::format("{:04}-{:02}-{:02}", p.year, p.month, p.day);
}

std::string DurationText(std::chrono::milliseconds span) {
  const int64_t ms = span.count();
  // Magnitude as unsigned, so even the most negative count has one.
  const uint64_t magnitude = ms < 0 ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
  const uint64_t seconds = magnitude / 1000;
  return fmt::format("{}{}d. {:02}:{:02}:{:02}", ms < 0 ? "-" : "", seconds / 86400,
                     seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
}

int64_t SecondsSince(TDateTime moment, TDateTime now) {
  const int64_t difference = now.ms - moment.ms;
  return (difference < 0 ? -difference : difference) / 1000;
}

}  // namespace talvero
