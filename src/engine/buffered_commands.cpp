#include <fmt/format.h>

#include <optional>
#include <string>

#include "base/guard.hpp"
#include "engine/cmd_buffer_entry.hpp"
#include "engine/command_frames.hpp"
#include "engine/frame_processor.hpp"
#include "engine/stored_route.hpp"
#include "engine/unit_nr_text.hpp"
#include "log/separated.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {

const StoredRoute& FrameProcessor::UnitRoute(uint16_t unit) const {
  const TUnitStruct& u = tables_.UnitTable[unit];
  return HasRoute(u.TcpConn) ? u.TcpConn : u.UdpPeer;
}

void FrameProcessor::SendCMDFromBuf(uint16_t unit) noexcept {
  Guarded(log_, "SendCMDFromBuf", [&] {
    TUnitStruct& u = tables_.UnitTable[unit];
    if (u.CmdBuffer.empty()) {
      return;
    }
    const std::string entry = u.CmdBuffer.front();
    const std::string_view name = CmdEntryName(entry);
    // A clock setting carries the time it is sent at, not the time it was queued.
    const std::string frame = name == kSetTimeCmdName
                                  ? SetTimeCommand(unit, clock_.Now(), tables_, settings_, log_)
                                  : std::string(CmdEntryFrame(entry));
    RealSend(UnitRoute(unit), frame);
    if (IsDesktop()) {
      observer_.CountUp(Counter::SendCmd);
    }
    log_.LogAllMsg(
        Separated(fmt::format("Send Buf-Cmd <{}> to Unit {}: 0x{} [Frame ID: {}]", name,
                              UnitText(unit), StrToHexText(frame), tables_.FrameIDByUnit[unit])));
    u.CmdSentTime = clock_.Now();
  });
}

bool FrameProcessor::CanReachNow(uint16_t unit, const std::string& key) const {
  const TUnitStruct& u = tables_.UnitTable[unit];
  if (!HasRoute(u.UdpPeer)) {
    return true;
  }
  return lastUnitText_ == key && UdpBindingAddresses(unit);
}

bool FrameProcessor::UdpBindingAddresses(uint16_t unit) const {
  const TUnitStruct& u = tables_.UnitTable[unit];
  const Route binding = u.UdpPeer.lock();
  return binding && binding->PeerAddress() == u.IP && binding->PeerPort() == u.Port;
}

void FrameProcessor::DeliverBufCmd(const std::string& key) noexcept {
  Guarded(log_, "DeliverBufCmd", [&] {
    const std::optional<uint16_t> unitNr = UnitNrOfText(key);
    if (!unitNr) {
      return;
    }
    const uint16_t unit = *unitNr;
    if (tables_.UnitTable[unit].CmdBuffer.empty()) {
      return;
    }
    if (IsDesktop() && !CanReachNow(unit, key)) {
      return;
    }
    SendCMDFromBuf(unit);
  });
}

}  // namespace talvero
