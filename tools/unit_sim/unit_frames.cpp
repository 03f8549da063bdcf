#include "unit_sim/unit_frames.hpp"

#include <fmt/format.h>

#include <optional>
#include <stdexcept>
#include <utility>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"
#include "unit_sim/capturing_logger.hpp"

namespace talvero {
namespace {

void RequireSize(std::string_view field, size_t size, std::string_view name) {
  if (field.size() != size) {
    throw std::invalid_argument(
        fmt::format("{} needs {} characters, got {}", name, size, field.size()));
  }
}

std::string Header(DeviceFrameType type, const FrameSeal& seal) {
  std::string frame(kFrameHeaderSize, '\0');
  frame[0] = static_cast<char>(type);
  frame[2] = static_cast<char>(seal.frameID >> 8);
  frame[3] = static_cast<char>(seal.frameID & 0xFF);
  UnitIDToNibbles(seal.unitNr, frame, kUnitIDOffset);
  return frame;
}

void AppendTime(std::string& frame, TDateTime moment) {
  const size_t at = frame.size();
  frame.resize(at + kTimeBytesSize);
  PutTimeBytes(frame, at, moment);
}

std::string Body(UnitFrameKind kind, const UnitFrameFields& f, const FrameSeal& seal,
                 TDateTime now) {
  switch (kind) {
    case UnitFrameKind::Ping:
      return Header(DeviceFrameType::Ping, seal);
    case UnitFrameKind::SetTimeRequest:
      return Header(DeviceFrameType::SetTimeRequest, seal);
    case UnitFrameKind::PingImeiFwVer: {
      RequireSize(f.imei, kImeiSize, "IMEI");
      std::string frame = Header(DeviceFrameType::PingImeiFwVer, seal) + f.imei;
      for (const uint8_t part : f.firmware) {
        frame.push_back(static_cast<char>(part));
      }
      return frame;
    }
    case UnitFrameKind::ChangeUnitNrRequest:
      RequireSize(f.imei, kImeiSize, "IMEI");
      return Header(DeviceFrameType::ChangeUnitNrRequest, seal) + f.imei;
    case UnitFrameKind::GsmLevelReport:
      return Header(DeviceFrameType::GsmLevelReport, seal) + static_cast<char>(f.gsmLevel);
    case UnitFrameKind::AlarmEvent: {
      RequireSize(f.account, 4, "account");
      RequireSize(f.event, 4, "event");
      RequireSize(f.group, 2, "group");
      RequireSize(f.zone, 3, "zone");
      std::string frame = Header(DeviceFrameType::AlarmEvent, seal);
      AppendTime(frame, f.time.value_or(now));
      return frame + f.account + f.event + f.group + f.zone;
    }
    case UnitFrameKind::Temperatures: {
      if (f.sensors.size() > kTemperatureEntries) {
        throw std::invalid_argument(fmt::format("at most {} temperature sensors, got {}",
                                                kTemperatureEntries, f.sensors.size()));
      }
      std::string frame = Header(DeviceFrameType::Temperatures, seal);
      frame.push_back(static_cast<char>(f.sensors.size()));
      for (size_t i = 0; i < kTemperatureEntries; ++i) {
        const TemperatureEntry entry = i < f.sensors.size() ? f.sensors[i] : TemperatureEntry{};
        frame.push_back(static_cast<char>(entry.sensor));
        frame.push_back(static_cast<char>(entry.state));
        frame.push_back('\0');
        frame.push_back(static_cast<char>(entry.degrees));
      }
      return frame;
    }
    case UnitFrameKind::Ack: {
      std::string frame = Header(DeviceFrameType::Ack, seal);
      AppendTime(frame, f.time.value_or(now));
      return frame;
    }
    case UnitFrameKind::Raw:
      break;
  }
  throw std::logic_error("raw bytes go out as given: no frame to build");
}

}  // namespace

std::string BuildUnitFrame(UnitFrameKind kind, const UnitFrameFields& fields, const FrameSeal& seal,
                           TDateTime now, Logger& log) {
  if (kind == UnitFrameKind::Raw) {
    return fields.raw;
  }
  std::string frame = Body(kind, fields, seal, now);
  if (seal.keyText) {
    frame[1] = 1;
    std::optional<std::string> encrypted = CryptFrameBody(frame, *seal.keyText, log);
    if (!encrypted) {
      throw std::runtime_error("the frame could not be encrypted");
    }
    frame = std::move(*encrypted);
  }
  return AddCrc8(frame);
}

bool KeyTextUsable(std::string_view keyText) {
  CapturingLogger log;
  return Encryption(std::string_view("\0", 1), 0, 0, keyText, log).size() == 1;
}

}  // namespace talvero
