#include "station_sim/station_line_tracker.hpp"

#include "common/steady_span.hpp"
#include "station/station_line.hpp"

namespace talvero {

LineVerdict StationLineTracker::OnLine(std::string_view line, TimePoint at) {
  LineVerdict verdict;
  verdict.heartbeat = IsHeartbeat(line);
  verdict.duplicate = haveLast_ && !writtenSinceLast_ && line == last_;
  if (counters_.lines == 0) {
    first_ = at;
  }
  latest_ = at;
  ++counters_.lines;
  counters_.heartbeats += verdict.heartbeat ? 1 : 0;
  counters_.duplicates += verdict.duplicate ? 1 : 0;
  counters_.newEvents += verdict.heartbeat || verdict.duplicate ? 0 : 1;
  last_.assign(line);
  haveLast_ = true;
  writtenSinceLast_ = false;
  return verdict;
}

void StationLineTracker::OnAnswerWritten() {
  ++counters_.answers;
  writtenSinceLast_ = true;
}

void StationLineTracker::OnHeartbeatSent() {
  ++counters_.heartbeatsSent;
  writtenSinceLast_ = true;
}

double StationLineTracker::LinesPerSecond() const {
  if (counters_.lines < 2 || latest_ <= first_) {
    return 0;
  }
  return static_cast<double>(counters_.lines - 1) / Seconds(latest_ - first_);
}

}  // namespace talvero
