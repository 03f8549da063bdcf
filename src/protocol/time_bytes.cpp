#include "protocol/time_bytes.hpp"

#include <fmt/format.h>

#include <stdexcept>

namespace talvero {

void PutTimeBytes(std::string& frame, size_t offset, TDateTime moment) {
  if (offset > frame.size() || frame.size() - offset < kTimeBytesSize) {
    throw std::out_of_range(
        fmt::format("no room for the time at byte {} of {} bytes", offset, frame.size()));
  }
  const DateTimeParts p = DecodeDateTime(moment);
  // year + 48 modulo 256 is year - 2000 for 2000..2255, the years a unit can show.
  const int fields[kTimeBytesSize] = {p.year + 48, p.month, p.day, p.hour, p.minute, p.second};
  for (size_t i = 0; i < kTimeBytesSize; ++i) {
    frame[offset + i] = static_cast<char>(static_cast<uint8_t>(fields[i] & 0xFF));
  }
}

}  // namespace talvero
