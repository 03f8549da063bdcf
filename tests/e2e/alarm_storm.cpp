#include "e2e/alarm_storm.hpp"

#include <fmt/format.h>

#include "e2e/harness.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/unit_id.hpp"
#include "support/virtual_time.hpp"
#include "unit_sim/capturing_logger.hpp"
#include "unit_sim/unit_frames.hpp"

namespace talvero::e2e {

AlarmStorm::AlarmStorm(uint16_t port, size_t units, int eventsPerUnit)
    : acked_(units), sendWhenWritten_(units), eventsPerUnit_(eventsPerUnit), port_(port) {
  for (size_t u = 0; u < units; ++u) {
    units_.push_back(std::make_unique<TcpSimUnit>(io_, *this, static_cast<uint16_t>(u + 1)));
  }
}

AlarmStorm::~AlarmStorm() {
  Stop();
}

std::string AlarmStorm::Account(uint16_t unit) {
  return UnitText(unit);
}

std::string AlarmStorm::Line(uint16_t unit, int zone) {
  return fmt::format("5077 18{}E13001{:03d}", Account(unit), zone);
}

bool AlarmStorm::Start(std::chrono::milliseconds timeout) {
  for (const auto& unit : units_) {
    unit->Connect(boost::asio::ip::address_v4::loopback(), port_);
  }
  thread_ = std::thread([this] { io_.run(); });
  return WaitUntil([&] { return connected_ + failed_ == units_.size(); }, timeout) && failed_ == 0;
}

void AlarmStorm::Stop() {
  io_.stop();
  if (thread_.joinable()) {
    thread_.join();
  }
}

std::vector<std::string> AlarmStorm::AcknowledgedLines() const {
  std::vector<std::string> lines;
  for (size_t u = 0; u < acked_.size(); ++u) {
    for (int zone = 1; zone <= acked_[u]; ++zone) {
      lines.push_back(Line(static_cast<uint16_t>(u + 1), zone));
    }
  }
  return lines;
}

void AlarmStorm::OnConnected(SimUnit&) {
  // Every unit starts once all are connected, so the storm comes at once.
  if (++connected_ == units_.size()) {
    for (const auto& each : units_) {
      SendNext(*each);
    }
  }
}

void AlarmStorm::OnWritten(SimUnit& unit) {
  if (sendWhenWritten_[unit.unitNr - 1u]) {
    sendWhenWritten_[unit.unitNr - 1u] = false;
    SendNext(unit);
  }
}

void AlarmStorm::OnConnectFailed(SimUnit&) {
  ++failed_;
}

void AlarmStorm::SendNext(SimUnit& unit) {
  const int zone = acked_[unit.unitNr - 1u] + 1;
  if (zone > eventsPerUnit_) {
    return;
  }
  if (unit.WritePending()) {
    sendWhenWritten_[unit.unitNr - 1u] = true;
    return;
  }
  UnitFrameFields fields;
  fields.account = Account(unit.unitNr);
  fields.zone = fmt::format("{:03d}", zone);
  const TDateTime time = testing::At(2024, 3, 5, 14, 7, 9);
  fields.time = time;
  CapturingLogger log;
  unit.Send(BuildUnitFrame(UnitFrameKind::AlarmEvent, fields,
                           {unit.unitNr, static_cast<uint16_t>(zone), std::nullopt}, time, log));
}

void AlarmStorm::OnFrame(SimUnit& unit, std::string_view bytes) {
  if (bytes.empty()) {
    return;
  }
  if (static_cast<uint8_t>(bytes[0]) == static_cast<uint8_t>(DeviceFrameType::Ack)) {
    ++acked_[unit.unitNr - 1u];
    ++acknowledged_;
  }
  SendNext(unit);
}

}  // namespace talvero::e2e
