#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvero {

// The unit number as four upper-case hexadecimal digits with leading zeros.
std::string UnitText(uint16_t unitNr);

// One nibble byte of the UnitID field as a character: below 10 gives value + 48,
// any other value value + 55, both modulo 256.
char NibbleToHexChar(uint8_t nibble);

// The value 0..15 of a hexadecimal digit (either case); 255 for any other character.
uint8_t HexCharToNibble(char c);

// Writes unitNr, clamped to 0..65535, as four nibble bytes at frame[offset],
// lowest digit first. Throws std::out_of_range when the frame has no room.
void UnitIDToNibbles(int64_t unitNr, std::string& frame, size_t offset);

// The four nibble bytes at bytes[offset], lowest digit first, read as a UnitID
// field is read; nothing when they are no four hexadecimal digits or the bytes
// end before them.
std::optional<uint16_t> UnitNrOfNibbles(std::string_view bytes, size_t offset);

// The unit a UnitID field that cannot be read counts as.
inline constexpr uint16_t kUnreadableUnitNr = 0xFFFF;

struct FrameUnit {
  uint16_t UnitNr = kUnreadableUnitNr;
  std::string UnitText = "FFFF";  // always the text of UnitNr
};

// The unit number of a frame's UnitID field, bytes 4..7, as ReadUnitID reads it
// (without its text).
uint16_t ReadUnitNr(std::string_view frame);

// The unit of a frame from its UnitID field, bytes 4..7. A field that does not
// read as four hexadecimal digits, or a frame too short to hold it, counts as
// unit FFFF.
FrameUnit ReadUnitID(std::string_view frame);

}  // namespace talvero
