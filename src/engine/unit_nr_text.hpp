#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/hex_text.hpp"

namespace talvero {

// The unit number written as exactly four hexadecimal digits, either case.
inline std::optional<uint16_t> UnitNrOfText(std::string_view text) {
  if (!IsValidHex4Text(text)) {
    return std::nullopt;
  }
  unsigned value = 0;
  for (const char c : text) {
    value = value * 16 + HexDigitValue(c);
  }
  return static_cast<uint16_t>(value);
}

}  // namespace talvero
