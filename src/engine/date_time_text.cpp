#include "engine/date_time_text.hpp"

namespace talvero {
namespace {

// Writes value as width decimal digits, zero-padded on the left.
char* PutDigits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

}  // namespace

std::string_view DateTimeText(TDateTime moment, DateTimeTextBuffer& buffer) {
  if (moment.IsZero()) {
    return {buffer.data(), 0};  // never a null view: fmt copies from its data
  }
  // Years outside 1..9999 have no text of this form; clamping keeps the
  // buffer's bound whatever time a caller holds.
  DateTimeParts p = DecodeDateTime(moment);
  p.year = p.year < 0 ? 0 : (p.year > 9999 ? 9999 : p.year);
  char* out = PutDigits(buffer.data(), p.year, 4);
  *out++ = '-';
  out = PutDigits(out, p.month, 2);
  *out++ = '-';
  out = PutDigits(out, p.day, 2);
  *out++ = ' ';
  out = PutDigits(out, p.hour, 2);
  *out++ = ':';
  out = PutDigits(out, p.minute, 2);
  *out++ = ':';
  PutDigits(out, p.second, 2);
  return {buffer.data(), buffer.size()};
}

std::string DateTimeText(TDateTime moment) {
  DateTimeTextBuffer buffer;
  return std::string(DateTimeText(moment, buffer));
}

std::optional<TDateTime> ParseDateTimeText(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size()) {
    return std::nullopt;
  }
  for (size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) {
      return std::nullopt;
    }
  }
  const auto number = [&](size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  return EncodeDateTime(
      {number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2), 0});
}

}  // namespace talvero
