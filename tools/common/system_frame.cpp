#include "common/system_frame.hpp"

#include <fmt/format.h>

#include <utility>

#include "engine/command_frames.hpp"
#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

// NewTime and NewUnitNr carry no UnitID: their fields begin where it would stand.
constexpr size_t kAnswerFieldsAt = kUnitIDOffset;

// Command codes of the frames the receiver sends on an operator's request.
enum CommandCode : uint8_t {
  kGetPing = 36,
  kGetGsmLevel = 37,
  kClearStorage = 38,
  kOpenClose = 39,
  kResetDevice = 41,
  kChangeUnitID = 43,
  kGetAutomaticTest = 44,
  kCustomCommand = 45,
};

void ReadTime(SystemFrame& out, std::string_view plain, size_t offset) {
  out.timeBytes = std::string(plain.substr(offset, kTimeBytesSize));
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(out.timeBytes[i]); };
  out.time =
      EncodeDateTime(DateTimeParts{2000 + byte(0), byte(1), byte(2), byte(3), byte(4), byte(5), 0});
}

std::string CommandName(uint8_t type, std::string_view plain) {
  switch (type) {
    case kGetPing:
      return "Get Ping";
    case kGetGsmLevel:
      return "Get GSM Level";
    case kClearStorage:
      return "Clear Storage";
    case kResetDevice:
      return "Reset Device";
    case kSetTimeCmdCode:
      return std::string(kSetTimeCmdName);
    case kChangeUnitID:
      return "Change UnitID";
    case kGetAutomaticTest:
      return "Get Automatic Test";
    case kCustomCommand:
      return "custom command";
    case kOpenClose: {
      const auto action = static_cast<uint8_t>(plain[kFrameHeaderSize]);
      const int partition = static_cast<uint8_t>(plain[kFrameHeaderSize + 1]) + 1;
      if (action > 1 || partition > 4) {
        return fmt::format("Do Open/Close (bytes {:02X} {:02X})", action, partition - 1);
      }
      return fmt::format("{}{}", action == 0 ? "Do Open" : "Do Close", partition);
    }
    default:
      return {};
  }
}

std::string TypeName(uint8_t type, std::string_view plain) {
  switch (static_cast<DeviceFrameType>(type)) {
    case DeviceFrameType::Ack:
      return "Ack";
    case DeviceFrameType::Nack:
      return "Nack";
    case DeviceFrameType::NewTime:
      return "NewTime";
    case DeviceFrameType::NewUnitNr:
      return "NewUnitNr";
    default:
      break;
  }
  std::string name = CommandName(type, plain);
  return name.empty() ? fmt::format("type 0x{:02X}", type) : name;
}

void ReadFields(SystemFrame& out, std::string_view plain) {
  if (out.type == static_cast<uint8_t>(DeviceFrameType::NewTime)) {
    ReadTime(out, plain, kAnswerFieldsAt);
    return;
  }
  if (out.type == static_cast<uint8_t>(DeviceFrameType::NewUnitNr)) {
    out.imei = std::string(plain.substr(kAnswerFieldsAt, kImeiSize));
    out.newUnitNr = UnitNrOfNibbles(plain, kAnswerFieldsAt + kImeiSize);
    return;
  }
  out.unitNr = ReadUnitNr(plain);
  switch (out.type) {
    case static_cast<uint8_t>(DeviceFrameType::Ack):
    case static_cast<uint8_t>(DeviceFrameType::Nack):
    case kSetTimeCmdCode:
      ReadTime(out, plain, kFrameHeaderSize);
      return;
    case kChangeUnitID:
      out.imei = std::string(plain.substr(kImeiOffset, kImeiSize));
      out.newUnitNr = UnitNrOfNibbles(plain, kImeiOffset + kImeiSize);
      return;
    case kCustomCommand:
      out.payload = std::string(plain.substr(kFrameHeaderSize));
      return;
    default:
      return;
  }
}

}  // namespace

std::string_view CheckText(FrameCheck check) {
  switch (check) {
    case FrameCheck::Ok:
      return "ok";
    case FrameCheck::TooShort:
      return "too short";
    case FrameCheck::BadCrc:
      return "bad checksum";
    case FrameCheck::WrongLength:
      return "wrong length for its type";
    case FrameCheck::NoKey:
      return "encrypted, no key text given";
    case FrameCheck::BadMarker:
      return "invalid EncrMarker";
    case FrameCheck::Undecryptable:
      return "could not be decrypted";
  }
  return "?";
}

bool SystemFrame::NamesNewUnit() const {
  return type == static_cast<uint8_t>(DeviceFrameType::NewUnitNr) || type == kChangeUnitID;
}

size_t SystemFrameLength(uint8_t type) {
  switch (type) {
    case static_cast<uint8_t>(DeviceFrameType::Ack):
    case static_cast<uint8_t>(DeviceFrameType::Nack):
      return 15;
    case static_cast<uint8_t>(DeviceFrameType::NewTime):
      return 11;
    case static_cast<uint8_t>(DeviceFrameType::NewUnitNr):
      return 24;
    case kGetPing:
    case kGetGsmLevel:
    case kClearStorage:
    case kResetDevice:
    case kGetAutomaticTest:
      return kMinFrameSize;
    case kOpenClose:
      return 11;
    case kSetTimeCmdCode:
      return kSetTimeCmdLength + 1;  // and the checksum
    case kChangeUnitID:
      return 28;
    default:
      return 0;
  }
}

SystemFrame DecodeSystemFrame(std::string_view bytes, const std::optional<std::string>& keyText,
                              Logger& log) {
  SystemFrame out;
  out.bytes = std::string(bytes);
  if (bytes.size() < kMinFrameSize) {
    return out;
  }
  out.type = static_cast<uint8_t>(bytes[0]);
  out.marker = static_cast<uint8_t>(bytes[1]);
  out.frameID =
      static_cast<uint16_t>(static_cast<uint8_t>(bytes[2]) << 8 | static_cast<uint8_t>(bytes[3]));
  if (!CheckCrc8(bytes)) {
    out.check = FrameCheck::BadCrc;
    return out;
  }
  const size_t length = SystemFrameLength(out.type);
  if (length != 0 && bytes.size() != length) {
    out.check = FrameCheck::WrongLength;
    return out;
  }
  if (out.marker > 1) {
    out.check = FrameCheck::BadMarker;
    return out;
  }
  std::string plain(bytes.substr(0, bytes.size() - 1));
  if (out.marker == 1) {
    if (!keyText) {
      out.check = FrameCheck::NoKey;
      return out;
    }
    std::optional<std::string> decrypted = CryptFrameBody(plain, *keyText, log);
    if (!decrypted) {
      out.check = FrameCheck::Undecryptable;
      return out;
    }
    plain = std::move(*decrypted);
  }
  out.check = FrameCheck::Ok;
  out.name = TypeName(out.type, plain);
  ReadFields(out, plain);
  return out;
}

std::optional<std::string> TakeFrame(std::string& stream) {
  if (stream.empty()) {
    return std::nullopt;
  }
  const size_t length = SystemFrameLength(static_cast<uint8_t>(stream[0]));
  if (length == 0) {
    return std::exchange(stream, std::string());
  }
  if (stream.size() < length) {
    return std::nullopt;
  }
  std::string frame = stream.substr(0, length);
  stream.erase(0, length);
  return frame;
}

bool AnswersFrame(const SystemFrame& answer, uint16_t unitNr, uint16_t frameID) {
  if (!answer.Ok()) {
    return false;
  }
  switch (static_cast<DeviceFrameType>(answer.type)) {
    case DeviceFrameType::Ack:
      return answer.frameID == frameID && answer.unitNr == unitNr;
    case DeviceFrameType::Nack:
      // A frame refused before its decryption is echoed with its UnitID bytes
      // still encrypted; the FrameID is never covered.
      return answer.frameID == frameID;
    case DeviceFrameType::NewTime:
    case DeviceFrameType::NewUnitNr:
      return answer.frameID == (answer.marker == 1 ? static_cast<uint16_t>(frameID + 1) : frameID);
    default:
      return false;
  }
}

}  // namespace talvero
