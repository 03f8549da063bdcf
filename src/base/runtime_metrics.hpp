#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/date_time.hpp"

namespace talvero {

// Why a received frame was refused with a NACK.
enum class FrameRefusal : uint8_t { Checksum, Size, Type, Decryption };
inline constexpr size_t kFrameRefusalCount = 4;

// What the receiver counts for monitoring (served at /metrics when asked for).
// Counting is an increment: no system call and no lock. The event thread owns
// the plain members: it counts them, and the scrape reads them there too.
// Members that other threads count are relaxed atomics.
struct RuntimeMetrics {
  // Every frame that arrived, by transport (0 TCP, 1 UDP) and its first byte.
  std::array<std::array<uint64_t, 256>, 2> framesReceived{};
  std::array<uint64_t, kFrameRefusalCount> framesRefused{};
  uint64_t acksSent = 0;
  uint64_t nacksSent = 0;
  int64_t tcpConnectionsOpen = 0;

  // Station output: writes of a line for the first time and again.
  uint64_t stationLinesSent = 0;
  uint64_t stationLinesResent = 0;
  uint64_t stationAcks = 0;  // any answer but a lone NAK
  uint64_t stationNaks = 0;
  // Local time of the last answer, and of the last answer to the heartbeat;
  // zero before the first.
  TDateTime lastStationAnswer;
  TDateTime lastHeartbeatAnswer;

  // Counted on the background log writer as well.
  std::atomic<uint64_t> logWriteFailures{0};
};

// The process's one set.
RuntimeMetrics& Metrics();

inline void CountFrameRefused(FrameRefusal reason) {
  ++Metrics().framesRefused[static_cast<size_t>(reason)];
}

}  // namespace talvero
