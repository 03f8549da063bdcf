#include "common/time_text.hpp"

#include <fmt/format.h>

#include <cctype>

#include "engine/date_time_text.hpp"

namespace talvero {
namespace {

// The digits of text[from..from+count) as a number; -1 unless all are digits.
int Digits(std::string_view text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      return -1;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::string MomentText(TDateTime moment) {
  return fmt::format("{}.{:03d}", DateTimeText(moment), DecodeDateTime(moment).millisecond);
}

std::optional<TDateTime> ParseDateTimeText(std::string_view text) {
  constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size()) {
    return std::nullopt;
  }
  for (size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] != 'd' && text[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  const DateTimeParts parts{Digits(text, 0, 4),
                            Digits(text, 5, 2),
                            Digits(text, 8, 2),
                            Digits(text, 11, 2),
                            Digits(text, 14, 2),
                            Digits(text, 17, 2),
                            0};
  if (parts.year < 0 || parts.month < 0 || parts.day < 0 || parts.hour < 0 || parts.minute < 0 ||
      parts.second < 0) {
    return std::nullopt;
  }
  return EncodeDateTime(parts);
}

}  // namespace talvero
