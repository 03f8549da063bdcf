#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date_time.hpp"
#include "base/logger.hpp"
#include "protocol/frame_types.hpp"

namespace talvero {

// How far a frame from the receiver could be read.
enum class FrameCheck {
  Ok,
  TooShort,     // fewer than 9 bytes
  BadCrc,       // the checksum does not match
  WrongLength,  // a known type with another length
  NoKey,        // encrypted, and no key text to read it
  BadMarker,    // EncrMarker neither 0 nor 1
  Undecryptable,
};

std::string_view CheckText(FrameCheck check);

// A frame the receiver sends to a unit: an answer (Ack, Nack, NewTime,
// NewUnitNr) or a command.
struct SystemFrame {
  FrameCheck check = FrameCheck::TooShort;
  std::string bytes;  // as received
  uint8_t type = 0;
  uint8_t marker = 0;
  uint16_t frameID = 0;
  // "Ack", "Nack", "NewTime", "NewUnitNr", a command's name, or "type 0x03";
  // empty for a frame that could not be read.
  std::string name;
  std::optional<uint16_t> unitNr;     // the UnitID field, where the frame has one
  std::optional<TDateTime> time;      // the time bytes, when they form a date and time
  std::string timeBytes;              // the six time bytes, where the frame has them
  std::optional<uint16_t> newUnitNr;  // NewUnitNr and "Change UnitID"
  std::string imei;                   // NewUnitNr and "Change UnitID"
  std::string payload;                // a custom command's bytes

  bool Ok() const { return check == FrameCheck::Ok; }
  bool IsNack() const { return Ok() && type == static_cast<uint8_t>(DeviceFrameType::Nack); }
  // NewUnitNr and "Change UnitID", the frames that give a unit a new number.
  bool NamesNewUnit() const;
};

// The exact length of a frame of this type sent by the receiver; 0 when the
// type has no fixed length (custom commands) or is unknown.
size_t SystemFrameLength(uint8_t type);

// Reads a frame from the receiver: checksum first, then decryption with the
// key text when the frame is encrypted, then the fields of its type.
SystemFrame DecodeSystemFrame(std::string_view bytes, const std::optional<std::string>& keyText,
                              Logger& log);

// Takes the first complete frame off a TCP byte stream: as many bytes as its
// type has, or everything waiting for a type without a fixed length. Nothing
// while a frame of a known length is still incomplete.
std::optional<std::string> TakeFrame(std::string& stream);

// True when answer is the receiver's answer to the frame (unitNr, frameID) a
// unit sent: an Ack echoes both, a Nack the FrameID; NewTime and NewUnitNr
// carry the request's FrameID, or the next one when they are encrypted.
bool AnswersFrame(const SystemFrame& answer, uint16_t unitNr, uint16_t frameID);

}  // namespace talvero
