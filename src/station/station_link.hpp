#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/clock.hpp"
#include "base/date_time.hpp"
#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "base/timer.hpp"
#include "engine/settings.hpp"
#include "log/host_observer.hpp"
#include "station/line_journal.hpp"
#include "station/serial_port.hpp"
#include "station/station_line.hpp"
#include "station/station_queue.hpp"

namespace talvero {

// The serial link to the monitoring software of the central station.
//
//   AddToSendBuf ----+                         TimerSBSend (5 s) --+
//   AppendToSendBuf -+--> StationQueue --> SendBufHead <-----------+
//   PingMonitSoft ---+    (head stays)         |
//     ^ TimerPingDR                            v
//                                      port: head + DC4   (NextSendTime = now + 3 s,
//                                                          TimerSBSend restarted)
//   port chunk --> SendBufAck: NextSendTime = 0, head removed, SendBufHead,
//                              0x06 when the chunk begins with "1011"
//   lone NAK ----> the head written again; removed (and reported) at its third NAK
//   port lost ---> reported once; TimerReopen (5 s) opens it again, the return
//                  is reported once and the head goes out at once (an output
//                  that opens in the background tells its return to PortOpened)
//
// Only the head is ever on the line; it is written again until a chunk other
// than a NAK answers it. Runs on the host's event thread, so it takes no lock.
class StationLink {
 public:
  StationLink(SerialPort& port, const Clock& clock, TimerFactory& timers, Logger& log,
              HostKind host, HostObserver& observer, const Settings& settings);
  ~StationLink();
  StationLink(const StationLink&) = delete;
  StationLink& operator=(const StationLink&) = delete;

  // Every line but the heartbeat is kept in the journal from now on.
  void SetJournal(LineJournal* journal) { journal_ = journal; }

  // Appends an alarm-event line and sends the head when it is due. Gives
  // whether the journal kept the line (always true without a journal).
  bool AddToSendBuf(StationLine line);
  // Appends a trouble or restore line; it goes out the next time the head is sent.
  bool AppendToSendBuf(StationLine line);
  // Lines a former run left in the journal, which holds them already: appended
  // at the tail and sent when the head is due.
  void RestoreLines(std::vector<StationLine> lines);
  // An orderly stop: the waiting lines are dropped, the journal emptied.
  void DropWaitingLines();

  void SendBufHead();
  // Any chunk but a lone NAK answers the head.
  void SendBufAck(std::string_view chunk);
  void PingMonitSoft();
  // Opens the port named by the SerialPort setting; reports the outcome.
  void DoActivateSerialPort();

  // Applies PingInvToMonitSoft to TimerPingDR: stopped, and started afresh for a value above 0.
  void ApplyPingInterval();
  // End of start-up: TimerSBSend starts; TimerPingDR starts unless it already runs.
  void EnableTimers();

  const StationQueue& Queue() const { return queue_; }
  size_t UnsentLineCount() const { return talvero::UnsentLineCount(queue_); }
  TDateTime NextSendTime() const { return nextSendTime_; }
  // When the line now at the head was queued; nothing while the queue is empty.
  std::optional<TDateTime> OldestLineQueuedAt() const;
  bool OutputOpen() const { return port_.IsOpen(); }

  static constexpr std::chrono::milliseconds kResendPeriod{5000};
  static constexpr std::chrono::milliseconds kWriteGap{3000};
  // NAKs of one line after which it is given up, so it cannot block the queue.
  static constexpr int kNaksToDrop = 3;
  static constexpr std::chrono::milliseconds kReopenPeriod{5000};

 private:
  bool HeadDue() const;
  bool Append(StationLine line);
  void RemoveHead();
  // The monitoring software refused the head.
  void HeadRefused();
  void SerialPortLost(const std::string& name);
  // A TimerReopen tick: tries the port again; quiet until it opens.
  void ReopenSerialPort();
  // The port is open (again): no more tries, and the head is due at once.
  void PortBack();
  // An output that opens in the background is open.
  void PortOpened();

  SerialPort& port_;
  const Clock& clock_;
  Logger& log_;
  HostKind host_;
  HostObserver& observer_;
  const Settings& settings_;

  LineJournal* journal_ = nullptr;
  StationQueue queue_;
  std::deque<TDateTime> queuedAt_;  // beside queue_, line by line
  bool headWritten_ = false;        // the head has been on the line
  TDateTime nextSendTime_;
  int headNaks_ = 0;  // NAKs of the line now at the head
  std::chrono::milliseconds pingPeriod_{30000};
  std::unique_ptr<Timer> TimerSBSend;
  std::unique_ptr<Timer> TimerPingDR;
  std::unique_ptr<Timer> TimerReopen;
  bool portLost_ = false;
};

}  // namespace talvero
