#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvero {

struct StationCounters {
  uint64_t lines = 0;       // every line received
  uint64_t heartbeats = 0;  // lines holding "@"
  uint64_t duplicates = 0;  // re-sends of a line not yet answered
  uint64_t newEvents = 0;   // lines that are neither heartbeats nor re-sends
  uint64_t answers = 0;     // answers written
  uint64_t heartbeatsSent = 0;
  uint64_t heartbeatAcks = 0;  // 0x06 received for the station's heartbeats
  uint64_t overlong = 0;       // byte runs too long to be a line
};

struct LineVerdict {
  bool heartbeat = false;
  bool duplicate = false;
};

// Tells new lines from re-sends. The receiver only ever writes the head of its
// queue and keeps writing it until anything comes back, so a line equal to the
// one before it, with nothing written to the receiver in between, is a
// re-send; once something was written (an answer, or the station's own
// heartbeat, which the receiver takes as an answer too) an equal line is the
// next one in the receiver's queue.
class StationLineTracker {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  LineVerdict OnLine(std::string_view line, TimePoint at);
  void OnAnswerWritten();
  void OnHeartbeatSent();
  void OnHeartbeatAck() { ++counters_.heartbeatAcks; }
  void OnOverlong() { ++counters_.overlong; }

  const StationCounters& Counters() const { return counters_; }
  // Lines per second from the first line to the last; 0 before the second line.
  double LinesPerSecond() const;

 private:
  StationCounters counters_;
  std::string last_;
  bool haveLast_ = false;
  bool writtenSinceLast_ = false;
  TimePoint first_{};
  TimePoint latest_{};
};

}  // namespace talvero
