#pragma once

#include <array>
#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "platform/asio.hpp"
#include "platform/system_clock.hpp"
#include "station_sim/station_input.hpp"
#include "station_sim/station_line_tracker.hpp"
#include "station_sim/station_listener.hpp"
#include "station_sim/station_options.hpp"
#include "station_sim/station_report.hpp"
#include "station_sim/wire_time.hpp"

namespace talvero {

// The monitoring software's side of the serial line.
//
//   line --read--> splitter --lines--> tracker (new / re-send / heartbeat), print
//                                   \-> answer queue (wire time + delay) --timer--> write
//   heartbeat timer --> write            duration timer, signals, --count --> Stop
//
// One write is in flight at a time; the others wait behind it in order. Stop
// ends reading, lets the answers already due go out (bounded by a grace
// period), then closes the line so the loop returns.
//
// With a listener the line is one TCP connection at a time: a connection that
// ends drops what was still to be written on it, and the next one is awaited.
// Each connection is a generation; handlers of an earlier one do nothing.
class StationSession {
 public:
  // fd is the line; -1 with a listener, which then hands over the connections.
  StationSession(boost::asio::io_context& io, int fd, const StationOptions& options, std::FILE* out,
                 StationListener* listener = nullptr);

  void Start();
  StationSummary Summary() const;
  bool Failed() const { return failed_; }

 private:
  using SteadyClock = std::chrono::steady_clock;

  void AwaitConnection();
  void DropConnection(const std::string& why);
  void Read();
  void OnInput(const StationInput& input, SteadyClock::time_point now);
  void ScheduleAnswer(size_t lineBytes, SteadyClock::time_point now);
  void ArmAnswerTimer();
  void OnAnswersDue();
  void StartHeartbeat();
  enum class WriteKind { Answer, Heartbeat };
  void Write(std::string bytes, WriteKind kind);
  void WriteNext();
  void Stop(std::string reason);
  void CloseIfFlushed();
  void Close();

  StationOptions options_;
  std::FILE* out_;
  StationListener* listener_;
  boost::asio::posix::stream_descriptor line_;
  bool connected_ = false;
  uint64_t generation_ = 0;
  boost::asio::steady_timer answerTimer_;
  boost::asio::steady_timer heartbeatTimer_;
  boost::asio::steady_timer durationTimer_;
  boost::asio::steady_timer graceTimer_;
  boost::asio::signal_set signals_;
  SystemClock clock_;
  StationLineSplitter splitter_;
  StationLineTracker tracker_;
  std::optional<WireClock> wire_;
  std::array<char, 4096> readBuffer_{};
  std::deque<SteadyClock::time_point> answersDue_;  // in due order
  std::deque<std::pair<std::string, WriteKind>> writes_;
  bool writing_ = false;
  bool stopping_ = false;
  bool closed_ = false;
  bool failed_ = false;
  std::string stopReason_;
  SteadyClock::time_point started_{};
  SteadyClock::time_point stopped_{};
};

}  // namespace talvero
