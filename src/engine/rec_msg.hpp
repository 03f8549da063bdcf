#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/date_time.hpp"
#include "engine/transport.hpp"

namespace talvero {

// One received frame, decoded; set afresh for every frame. The texts a frame
// type does not carry stay empty.
struct RecMsg {
  uint8_t FrameType = 0;
  uint8_t EncrMarker = 0;
  uint16_t FrameID = 0;
  std::string UnitText = "FFFF";
  uint16_t UnitNr = 0xFFFF;
  std::string Imei;   // types 32 and 34
  std::string FwRaw;  // type 34
  std::string FwVer;
  TDateTime EventTime;  // type 6
  std::string Account;
  std::string EventCode;
  std::string Group;
  std::string Zone;
};

// What one call of frame processing knows besides the frame's own fields.
struct Reception {
  TDateTime ReceiveTime;
  TransportKind Kind = TransportKind::Unknown;
  std::string KindText;
  std::string PeerAddress;
  uint16_t PeerPort = 0;
  size_t Length = 0;    // as received
  std::string HexText;  // of the bytes as received
  int GsmLevel = -1;    // -1: the frame carried none
  std::string AccountBefore;
};

}  // namespace talvero
