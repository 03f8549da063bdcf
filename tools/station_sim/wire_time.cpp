#include "station_sim/wire_time.hpp"

#include <algorithm>

namespace talvero {

std::chrono::microseconds WireTime(size_t bytes, int baud) {
  const auto bits = static_cast<int64_t>(bytes) * kBitsPerByte;
  // Rounded up: never shorter than the wire.
  return std::chrono::microseconds((bits * 1'000'000 + baud - 1) / baud);
}

WireClock::TimePoint WireClock::LineDone(TimePoint arrival, size_t bytes) {
  free_ = std::max(arrival, free_) + WireTime(bytes, baud_);
  return free_;
}

}  // namespace talvero
