#pragma once

#include <optional>
#include <string_view>

#include "protocol/frame_types.hpp"

namespace talvero {

// The frames a field unit sends, and raw bytes for anything else.
enum class UnitFrameKind {
  Ping,
  PingImeiFwVer,
  GsmLevelReport,
  AlarmEvent,
  SetTimeRequest,
  ChangeUnitNrRequest,
  Temperatures,
  Ack,
  Raw,
};

std::string_view KindName(UnitFrameKind kind);

// The frame names as they stand ("Ping", "AlarmEvent"...) in any letter case,
// and the short names of the usage text ("ping", "alarm"...).
std::optional<UnitFrameKind> ParseFrameKind(std::string_view text);

// What the receiver answers with; nullopt for a unit's Ack (no answer) and for
// raw bytes (whatever they provoke).
std::optional<DeviceFrameType> ExpectedAnswer(UnitFrameKind kind);

}  // namespace talvero
