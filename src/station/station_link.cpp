#include "station/station_link.hpp"

#include <fmt/format.h>

#include <utility>

#include "base/guard.hpp"
#include "base/runtime_metrics.hpp"

namespace talvero {

StationLink::StationLink(SerialPort& port, const Clock& clock, TimerFactory& timers, Logger& log,
                         HostKind host, HostObserver& observer, const Settings& settings)
    : port_(port),
      clock_(clock),
      log_(log),
      host_(host),
      observer_(observer),
      settings_(settings),
      TimerSBSend(timers.MakeTimer(
          TimerKind::Periodic, [this] { Guarded(log_, "SendBufHead", [&] { SendBufHead(); }); })),
      TimerPingDR(
          timers.MakeTimer(TimerKind::Periodic,
                           [this] { Guarded(log_, "PingMonitSoft", [&] { PingMonitSoft(); }); })),
      TimerReopen(timers.MakeTimer(TimerKind::Periodic, [this] {
        Guarded(log_, "ReopenSerialPort", [&] { ReopenSerialPort(); });
      })) {
  port_.SetChunkHandler(
      [this](std::string_view chunk) { Guarded(log_, "SendBufAck", [&] { SendBufAck(chunk); }); });
  port_.SetLossHandler([this](const std::string& name) {
    Guarded(log_, "SerialPortLost", [&] { SerialPortLost(name); });
  });
  port_.SetOpenHandler([this] { Guarded(log_, "SerialPortOpened", [&] { PortOpened(); }); });
}

StationLink::~StationLink() {
  port_.SetChunkHandler({});
  port_.SetLossHandler({});
  port_.SetOpenHandler({});
}

bool StationLink::AddToSendBuf(StationLine line) {
  const bool kept = Append(std::move(line));
  SendBufHead();
  return kept;
}

bool StationLink::AppendToSendBuf(StationLine line) {
  return Append(std::move(line));
}

void StationLink::RestoreLines(std::vector<StationLine> lines) {
  for (StationLine& line : lines) {
    queue_.push_back(std::move(line));
    queuedAt_.push_back(clock_.Now());
  }
  SendBufHead();
}

void StationLink::DropWaitingLines() {
  queue_.clear();
  queuedAt_.clear();
  headWritten_ = false;
  if (journal_ != nullptr) {
    journal_->Cleared();
  }
}

bool StationLink::Append(StationLine line) {
  // Queued even when the journal fails: the station must still hear of it.
  const bool kept = journal_ == nullptr || IsHeartbeat(line) || journal_->Added(line);
  queue_.push_back(std::move(line));
  queuedAt_.push_back(clock_.Now());
  return kept;
}

void StationLink::RemoveHead() {
  if (journal_ != nullptr && !IsHeartbeat(queue_.front())) {
    journal_->Removed();
  }
  queue_.pop_front();
  queuedAt_.pop_front();
  headNaks_ = 0;
  headWritten_ = false;
}

bool StationLink::HeadDue() const {
  const TDateTime now = clock_.Now();
  if (now >= nextSendTime_) {
    return true;
  }
  // A clock set back must not hold the head for as long as the jump.
  return nextSendTime_.ms - now.ms > kWriteGap.count();
}

void StationLink::SendBufHead() {
  if (!port_.IsOpen() || queue_.empty() || !HeadDue()) {
    return;
  }
  const StationLine& head = queue_.front();
  std::string bytes = head;
  bytes.push_back(kDc4);
  port_.Write(bytes);
  RuntimeMetrics& metrics = Metrics();
  ++(headWritten_ ? metrics.stationLinesResent : metrics.stationLinesSent);
  headWritten_ = true;
  nextSendTime_ = AddMilliseconds(clock_.Now(), kWriteGap.count());
  // Off until start-up has completed; a write must not switch it on.
  if (TimerSBSend->Running()) {
    TimerSBSend->Start(kResendPeriod);
  }
  if (IsHeartbeat(head)) {
    return;
  }
  if (host_ == HostKind::Desktop) {
    observer_.CountUp(Counter::SendToMs);
  } else {
    log_.LogAllMsg(">> " + head);
  }
}

void StationLink::SendBufAck(std::string_view chunk) {
  RuntimeMetrics& metrics = Metrics();
  if (chunk.size() == 1 && chunk[0] == kNak) {
    ++metrics.stationNaks;
    HeadRefused();
    return;
  }
  ++metrics.stationAcks;
  metrics.lastStationAnswer = clock_.Now();
  if (!queue_.empty() && IsHeartbeat(queue_.front())) {
    metrics.lastHeartbeatAnswer = metrics.lastStationAnswer;
  }
  nextSendTime_ = TDateTime{};
  if (!queue_.empty()) {
    RemoveHead();
  }
  SendBufHead();
  if (chunk.size() >= 4 && chunk.substr(0, 4) == "1011") {
    port_.Write(std::string_view(&kAck, 1));
  }
}

void StationLink::HeadRefused() {
  if (queue_.empty()) {
    return;
  }
  if (++headNaks_ >= kNaksToDrop) {
    log_.LogImpMsg(fmt::format("!! LINE REFUSED {} TIMES BY THE MONITORING SOFTWARE, DROPPED: {}",
                               kNaksToDrop, queue_.front()));
    RemoveHead();
  }
  // Written again at once, as if its 5 seconds had passed.
  nextSendTime_ = TDateTime{};
  SendBufHead();
}

void StationLink::SerialPortLost(const std::string& name) {
  if (portLost_) {
    return;
  }
  portLost_ = true;
  log_.LogImpMsg(fmt::format("!! {} LOST", port_.NamesFor(name).upper));
  TimerReopen->Start(kReopenPeriod);
}

void StationLink::ReopenSerialPort() {
  const std::string& name = settings_.SerialPort;
  if (!port_.Open(name)) {
    return;
  }
  log_.LogImpMsg(fmt::format("{} opened again", port_.NamesFor(name).mixed));
  PortBack();
}

void StationLink::PortOpened() {
  if (portLost_) {
    log_.LogImpMsg(fmt::format("{} opened again", port_.NamesFor(settings_.SerialPort).mixed));
    PortBack();
    return;
  }
  log_.LogAllMsg(fmt::format("{} opened", port_.NamesFor(settings_.SerialPort).mixed));
  nextSendTime_ = TDateTime{};
  SendBufHead();
}

std::optional<TDateTime> StationLink::OldestLineQueuedAt() const {
  if (queuedAt_.empty()) {
    return std::nullopt;
  }
  return queuedAt_.front();
}

void StationLink::PortBack() {
  TimerReopen->Stop();
  portLost_ = false;
  // The head may have been cut off on the line: it goes out whole at once.
  nextSendTime_ = TDateTime{};
  SendBufHead();
}

void StationLink::PingMonitSoft() {
  if (settings_.PingInvToMonitSoft <= 0 || queue_.size() >= 3) {
    return;
  }
  queue_.emplace_back(kHeartbeatLine);
  queuedAt_.push_back(clock_.Now());
  SendBufHead();
}

void StationLink::DoActivateSerialPort() {
  Guarded(log_, "DoActivateSerialPort", [&] {
    const std::string& name = settings_.SerialPort;
    if (!port_.IsOpen() || port_.Name() != name) {
      port_.Open(name);
    }
    const SerialPort::LogNames names = port_.NamesFor(name);
    if (port_.IsOpen()) {
      log_.LogAllMsg(fmt::format("{} opened", names.mixed));
      if (portLost_) {
        PortBack();
      }
    } else if (!port_.OpensLater()) {
      log_.LogImpMsg(fmt::format("!! CAN NOT OPEN {}", names.upper));
    }
  });
}

void StationLink::ApplyPingInterval() {
  TimerPingDR->Stop();
  if (settings_.PingInvToMonitSoft > 0) {
    pingPeriod_ = std::chrono::seconds(settings_.PingInvToMonitSoft);
    TimerPingDR->Start(pingPeriod_);
  }
}

void StationLink::EnableTimers() {
  TimerSBSend->Start(kResendPeriod);
  if (!TimerPingDR->Running()) {
    TimerPingDR->Start(pingPeriod_);
  }
}

}  // namespace talvero
