#pragma once

#include <chrono>
#include <cstddef>

namespace talvero {

// 8N1: a start bit, eight data bits and a stop bit on the wire for each byte.
inline constexpr int kBitsPerByte = 10;

// How long bytes take on a serial wire at baud.
std::chrono::microseconds WireTime(size_t bytes, int baud);

// A receiving wire at one speed: a line can be whole only after the line
// before it, so lines that arrive together (as they do on a pseudo-terminal)
// are spread out as a real wire would.
class WireClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit WireClock(int baud) : baud_(baud) {}

  // When a line of bytes (its terminator included), seen at arrival, would
  // have been received completely.
  TimePoint LineDone(TimePoint arrival, size_t bytes);

 private:
  int baud_;
  TimePoint free_{};
};

}  // namespace talvero
