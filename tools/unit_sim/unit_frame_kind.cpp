#include "unit_sim/unit_frame_kind.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace talvero {
namespace {

struct KindEntry {
  UnitFrameKind kind;
  std::string_view name;
  std::string_view shortName;
};

constexpr std::array<KindEntry, 9> kKinds{{
    {UnitFrameKind::Ping, "Ping", "ping"},
    {UnitFrameKind::PingImeiFwVer, "PingImeiFwVer", "imei"},
    {UnitFrameKind::GsmLevelReport, "GsmLevelReport", "gsm"},
    {UnitFrameKind::AlarmEvent, "AlarmEvent", "alarm"},
    {UnitFrameKind::SetTimeRequest, "SetTimeRequest", "settime"},
    {UnitFrameKind::ChangeUnitNrRequest, "ChangeUnitNrRequest", "changeunit"},
    {UnitFrameKind::Temperatures, "Temperatures", "temp"},
    {UnitFrameKind::Ack, "Ack", "ack"},
    {UnitFrameKind::Raw, "raw", "raw"},
}};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

std::string_view KindName(UnitFrameKind kind) {
  for (const KindEntry& entry : kKinds) {
    if (entry.kind == kind) {
      return entry.name;
    }
  }
  return "?";
}

std::optional<UnitFrameKind> ParseFrameKind(std::string_view text) {
  const std::string lower = Lower(text);
  for (const KindEntry& entry : kKinds) {
    if (lower == Lower(entry.name) || lower == entry.shortName) {
      return entry.kind;
    }
  }
  return std::nullopt;
}

std::optional<DeviceFrameType> ExpectedAnswer(UnitFrameKind kind) {
  switch (kind) {
    case UnitFrameKind::SetTimeRequest:
      return DeviceFrameType::NewTime;
    case UnitFrameKind::ChangeUnitNrRequest:
      return DeviceFrameType::NewUnitNr;
    case UnitFrameKind::Ack:
    case UnitFrameKind::Raw:
      return std::nullopt;
    default:
      return DeviceFrameType::Ack;
  }
}

}  // namespace talvero
