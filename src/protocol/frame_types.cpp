#include "protocol/frame_types.hpp"

namespace talvero {
namespace {

struct TypeSize {
  DeviceFrameType type;
  size_t size;
};

constexpr TypeSize kFromEveryUnit[] = {
    {DeviceFrameType::Ack, 15},
    {DeviceFrameType::AlarmEvent, 28},
    {DeviceFrameType::SetTimeRequest, 9},
    {DeviceFrameType::ChangeUnitNrRequest, 24},
    {DeviceFrameType::PingImeiFwVer, 27},
    {DeviceFrameType::Ping, 9},
    {DeviceFrameType::GsmLevelReport, 10},
};

// Only the desktop host shows temperatures.
constexpr TypeSize kDesktopOnly = {DeviceFrameType::Temperatures, 42};

}  // namespace

FrameTypeTable::FrameTypeTable(HostKind host) {
  for (const auto& entry : kFromEveryUnit) {
    sizes_[static_cast<uint8_t>(entry.type)] = entry.size;
  }
  if (host == HostKind::Desktop) {
    sizes_[static_cast<uint8_t>(kDesktopOnly.type)] = kDesktopOnly.size;
  }
}

}  // namespace talvero
