#include <stdexcept>

#include "base/guard.hpp"
#include "base/runtime_metrics.hpp"
#include "engine/frame_processor.hpp"
#include "engine/stored_route.hpp"
#include "protocol/frame_builders.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {

void FrameProcessor::RealSend(const Route& route, std::string_view data) noexcept {
  SendTo(route, false, data);
}

void FrameProcessor::RealSend(const StoredRoute& route, std::string_view data) noexcept {
  const Route live = route.lock();
  SendTo(live, !live && HasRoute(route), data);
}

void FrameProcessor::SendTo(const Route& route, bool routeGone, std::string_view data) noexcept {
  Guarded(log_, "RealSend", [&] {
    if (data.empty()) {
      log_.LogImpMsg("!! TRYING TO SEND EMPTY DATA");
      return;
    }
    // The connection closed, or the UDP server was replaced: whatever socket
    // came next belongs to someone else.
    if (routeGone) {
      throw std::runtime_error("the unit's connection is gone");
    }
    const TransportKind kind = route ? route->Kind() : TransportKind::Unknown;
    if (kind != TransportKind::Tcp && kind != TransportKind::Udp) {
      log_.LogImpMsg("UNKN TR.PROTO: CAN NOT SEND THIS DATA: " + StrToHexText(data));
      return;
    }
    try {
      route->Send(data);
    } catch (const PeerFault& fault) {
      log_.LogImpMsg(std::string("!! CAN NOT SEND: ") + fault.what());
    }
  });
}

void FrameProcessor::SendACK(const Route& route, std::string_view frame) noexcept {
  Guarded(log_, "SendACK", [&] {
    ++Metrics().acksSent;
    RealSend(route, Ack(frame, clock_.Now()));
    if (IsDesktop()) {
      log_.LogAllMsg("Send ACK");
    }
  });
}

void FrameProcessor::SendNACK(const Route& route, std::string_view frame) noexcept {
  Guarded(log_, "SendNACK", [&] {
    ++Metrics().nacksSent;
    RealSend(route, Nack(frame, clock_.Now()));
    if (IsDesktop()) {
      log_.LogAllMsg("Send NACK");
    }
  });
}

}  // namespace talvero
