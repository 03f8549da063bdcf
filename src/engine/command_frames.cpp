#include "engine/command_frames.hpp"

#include <utility>

#include "base/guard.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/seal_frame.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

constexpr size_t kSetTimeBytesOffset = 8;

}  // namespace

std::string cmdID_to_cmdss(size_t length, uint8_t code, uint16_t unit, Logger& log) {
  std::string frame;
  Guarded(log, "cmdID_to_cmdss", [&] {
    std::string bytes(length, '\0');
    UnitIDToNibbles(unit, bytes, kUnitIDOffset);
    bytes[0] = static_cast<char>(code);
    frame = std::move(bytes);
  });
  return frame;
}

std::string SealCommand(std::string frame, uint16_t unit, UnitTables& tables,
                        const Settings& settings, Logger& log) {
  return SealFrame(std::move(frame), tables.EncrByUnit[unit], tables.FrameIDByUnit[unit],
                   settings.EncryptionKey, log);
}

std::string SetTimeFrame(uint16_t unit, TDateTime now, Logger& log) {
  std::string frame = cmdID_to_cmdss(kSetTimeCmdLength, kSetTimeCmdCode, unit, log);
  PutTimeBytes(frame, kSetTimeBytesOffset, now);
  return frame;
}

std::string SetTimeCommand(uint16_t unit, TDateTime now, UnitTables& tables,
                           const Settings& settings, Logger& log) {
  return SealCommand(SetTimeFrame(unit, now, log), unit, tables, settings, log);
}

}  // namespace talvero
