#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/clock.hpp"
#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "engine/rec_msg.hpp"
#include "engine/settings.hpp"
#include "engine/station_outlet.hpp"
#include "engine/transport.hpp"
#include "engine/unit_database.hpp"
#include "engine/unit_table.hpp"
#include "log/host_observer.hpp"
#include "log/watch_dog.hpp"
#include "protocol/frame_types.hpp"

namespace talvero {

// The receiver engine's handling of unit frames: checks and answers every
// received frame, hands alarm events to the station link, keeps the unit's
// record up to date, and delivers buffered commands when a unit reports.
//
// Everything runs on the host's event thread; ProcessRecMsg is called with
// EngineLock held.
class FrameProcessor {
 public:
  FrameProcessor(UnitTables& tables, UnitDatabase& database, StationOutlet& station,
                 TWatchDog& watchDog, const Settings& settings, const Clock& clock, Logger& log,
                 HostKind host, HostObserver& observer);
  FrameProcessor(const FrameProcessor&) = delete;
  FrameProcessor& operator=(const FrameProcessor&) = delete;

  // Takes any bytes from any route; answers as the frame deserves or not at
  // all, and never lets a failure escape (it is reported under "ProcessRecMsg").
  void ProcessRecMsg(const Route& route, std::string_view frame) noexcept;

  // Writes data to the unit as one frame. A stored route whose connection has
  // gone is reported under "RealSend"; it never falls back to another route.
  void RealSend(const Route& route, std::string_view data) noexcept;
  void RealSend(const StoredRoute& route, std::string_view data) noexcept;
  void SendACK(const Route& route, std::string_view frame) noexcept;
  void SendNACK(const Route& route, std::string_view frame) noexcept;

  // Sends the head of the unit's CmdBuffer; it stays there until confirmed.
  void SendCMDFromBuf(uint16_t unit) noexcept;
  // The TWatchDog's OnTimeout: the key is a unit's UnitText.
  void DeliverBufCmd(const std::string& key) noexcept;

  // The route commands take to a unit: its TCP connection when it has one,
  // else the UDP binding.
  const StoredRoute& UnitRoute(uint16_t unit) const;

  // Desktop host: the UnitText of the last frame that passed the checksum test.
  const std::string& LastUnitText() const { return lastUnitText_; }
  // The UDP binding addresses the unit's own address and port. Any datagram
  // moves the binding, also one that failed the checksum test and so left
  // LastUnitText alone: only then does a datagram sent now reach this unit.
  bool UdpBindingAddresses(uint16_t unit) const;

 private:
  void Process(const Route& route, std::string_view received);
  void Reject(const Route& route, std::string_view message, std::string_view frame);
  // An "Imp_msg" line of a frame. One the log cannot take is reported under
  // ProcessRecMsg and goes no further, while the frame is still answered and
  // its unit's record kept: a full or read-only disk must not silence the
  // receiver.
  void ImpMsg(std::string_view message) noexcept;
  // False for a frame type the engine does not handle.
  bool Dispatch(const Route& route, std::string_view frame, RecMsg& msg, Reception& rx);
  // head: the frame's "[Unit ..] [Account ..]" text.
  void AlarmEvent(const Route& route, std::string_view frame, std::string_view head, RecMsg& msg,
                  const Reception& rx);
  void SetTimeRequest(const Route& route, std::string_view frame, std::string_view head,
                      const RecMsg& msg);
  void ChangeUnitNrRequest(const Route& route, std::string_view frame, std::string_view head,
                           RecMsg& msg);
  void Temperatures(const Route& route, std::string_view frame, std::string_view head,
                    const RecMsg& msg);
  void UpdateUnitRecord(const RecMsg& msg, const Reception& rx);
  void SendTo(const Route& route, bool routeGone, std::string_view data) noexcept;
  // Desktop host: a buffered command goes out only while it can reach the unit.
  bool CanReachNow(uint16_t unit, const std::string& key) const;
  // "[Unit %s] [Account %s]" with the account of the unit's record.
  std::string UnitHeader(const RecMsg& msg) const;
  bool IsDesktop() const { return host_ == HostKind::Desktop; }

  UnitTables& tables_;
  UnitDatabase& database_;
  StationOutlet& station_;
  TWatchDog& watchDog_;
  const Settings& settings_;
  const Clock& clock_;
  Logger& log_;
  HostKind host_;
  HostObserver& observer_;
  FrameTypeTable types_;
  std::string lastUnitText_ = "0000";
};

}  // namespace talvero
