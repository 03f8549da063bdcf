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

}  // namespace talvero
