#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/host_kind.hpp"

namespace talvero {

// Values of a frame's FrameType byte (byte 0). Command codes other than 37 and 45
// belong to the commands sent on an operator's request.
enum class DeviceFrameType : uint8_t {
  Ack = 1,
  Nack = 2,
  AlarmEvent = 6,
  SetTimeRequest = 10,
  NewTime = 11,
  ChangeUnitNrRequest = 32,
  NewUnitNr = 33,
  PingImeiFwVer = 34,
  Ping = 35,
  GsmLevelReport = 37,
  Temperatures = 45,
};

inline constexpr size_t kFrameHeaderSize = 8;  // type, marker, FrameID, UnitID
inline constexpr size_t kMinFrameSize = 9;     // header and checksum
// The UnitID's four nibbles; the encrypted part of a frame begins here too.
inline constexpr size_t kUnitIDOffset = 4;
inline constexpr size_t kUnitIDWidth = 4;
inline constexpr size_t kImeiOffset = 8;
inline constexpr size_t kImeiSize = 15;

// The frame types the engine accepts from units, each with its exact total
// length (checksum included); fixed when the engine starts.
class FrameTypeTable {
 public:
  explicit FrameTypeTable(HostKind host);

  bool IsAccepted(uint8_t frameType) const { return sizes_[frameType] != 0; }
  // 0 for a type that is not accepted.
  size_t SizeByType(uint8_t frameType) const { return sizes_[frameType]; }

 private:
  std::array<size_t, 256> sizes_{};
};

}  // namespace talvero
