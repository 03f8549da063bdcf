#include "protocol/unit_id.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr size_t kUnitIDOffset = 4;
constexpr size_t kUnitIDWidth = 4;

}  // namespace

std::string UnitText(uint16_t unitNr) {
  return fmt::format("{:04X}", unitNr);
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

FrameUnit ReadUnitID(std::string_view frame) {
  if (frame.size() < kUnitIDOffset + kUnitIDWidth) {
    return {};
  }
  unsigned value = 0;
  for (size_t i = 0; i < kUnitIDWidth; ++i) {
    const auto nibble = static_cast<uint8_t>(frame[kUnitIDOffset + kUnitIDWidth - 1 - i]);
    const uint8_t digit = HexDigitValue(NibbleToHexChar(nibble));
    if (digit > 15) {
      return {};
    }
    value = value * 16 + digit;
  }
  const auto unitNr = static_cast<uint16_t>(value);
  return {unitNr, UnitText(unitNr)};
}

}  // namespace talvero
