#include "protocol/unit_id.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

#include "protocol/frame_types.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {

std::string UnitText(uint16_t unitNr) {
  // Every frame names its unit: four digits by hand cost far less than a format.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[unitNr >> 12], kDigits[(unitNr >> 8) & 0xF], kDigits[(unitNr >> 4) & 0xF],
          kDigits[unitNr & 0xF]};
}

char NibbleToHexChar(uint8_t nibble) {
  const unsigned code = nibble < 10 ? nibble + 48u : nibble + 55u;
  return static_cast<char>(static_cast<uint8_t>(code & 0xFF));
}

uint8_t HexCharToNibble(char c) {
  return HexDigitValue(c);
}

void UnitIDToNibbles(int64_t unitNr, std::string& frame, size_t offset) {
  if (offset > frame.size() || frame.size() - offset < kUnitIDWidth) {
    throw std::out_of_range(
        fmt::format("no room for the unit number at byte {} of {} bytes", offset, frame.size()));
  }
  const auto clamped = static_cast<uint16_t>(std::clamp<int64_t>(unitNr, 0, 0xFFFF));
  const std::string text = UnitText(clamped);
  for (size_t i = 0; i < kUnitIDWidth; ++i) {
    frame[offset + i] = static_cast<char>(HexCharToNibble(text[kUnitIDWidth - 1 - i]));
  }
}

std::optional<uint16_t> UnitNrOfNibbles(std::string_view bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < kUnitIDWidth) {
    return std::nullopt;
  }
  unsigned value = 0;
  for (size_t i = 0; i < kUnitIDWidth; ++i) {
    const auto nibble = static_cast<uint8_t>(bytes[offset + kUnitIDWidth - 1 - i]);
    const uint8_t digit = HexDigitValue(NibbleToHexChar(nibble));
    if (digit > 15) {
      return std::nullopt;
    }
    value = value * 16 + digit;
  }
  return static_cast<uint16_t>(value);
}

uint16_t ReadUnitNr(std::string_view frame) {
  return UnitNrOfNibbles(frame, kUnitIDOffset).value_or(kUnreadableUnitNr);
}

FrameUnit ReadUnitID(std::string_view frame) {
  const uint16_t unitNr = ReadUnitNr(frame);
  return {unitNr, UnitText(unitNr)};
}

}  // namespace talvero
