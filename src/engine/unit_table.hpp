#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/date_time.hpp"
#include "engine/bounded_text.hpp"
#include "engine/transport.hpp"

namespace talvero {

inline constexpr size_t kUnitCount = 65536;

// Communication-trouble bits of TUnitStruct::CommTrFlags.
inline constexpr uint8_t kCommTrLevel1 = 1;
inline constexpr uint8_t kCommTrLevel2 = 2;
inline constexpr uint8_t kCommTrLevel3 = 4;

// What the receiver knows of one unit; the slot index is the unit number.
struct TUnitStruct {
  uint8_t Active = 0;
  uint8_t Reserved = 0;  // handed out by FindFirstFreeUnitNr; memory only
  uint8_t CommTrFlags = 0;
  TransportKind TrProto = TransportKind::Unknown;
  BoundedText<15> IP;
  int32_t Port = 0;
  TDateTime LastMsgTime;
  TDateTime FirstMsgTime;
  BoundedText<15> Imei;
  BoundedText<3> FwRaw;
  BoundedText<11> FwVer;
  BoundedText<4> Account;
  char GsmLevel = 0;  // '0'..'9', or a blank or NUL when unknown
  std::string FilterText;
  StoredRoute TcpConn;
  StoredRoute UdpPeer;
  std::vector<std::string> CmdBuffer;  // "name=frame" entries, head first
  TDateTime CmdSentTime;
  TDateTime LastRecvTime;
};

// Thresholds of levels 1..3 in minutes; 0 or less disables a level.
using CommTrLimit = std::array<int32_t, 3>;

// The engine's per-unit memory: the unit table and the three per-unit tables,
// all indexed by unit number and allocated once.
struct UnitTables {
  std::vector<TUnitStruct> UnitTable = std::vector<TUnitStruct>(kUnitCount);
  std::vector<uint8_t> EncrByUnit = std::vector<uint8_t>(kUnitCount);
  std::vector<uint16_t> FrameIDByUnit = std::vector<uint16_t>(kUnitCount);
  std::vector<CommTrLimit> CommTrLimits = std::vector<CommTrLimit>(kUnitCount);
};

}  // namespace talvero
