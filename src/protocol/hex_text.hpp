#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvero {

// Each byte as two upper-case hexadecimal digits, high digit first, no separators.
std::string StrToHexText(std::string_view bytes);

// 0..15 for a hexadecimal digit of either case, 255 for any other character.
uint8_t HexDigitValue(char c);

struct HexBytes {
  std::string Bytes;
  bool Error = false;  // a character that is no hexadecimal digit; Bytes is then empty
};

// A leading "0x" is skipped; with an odd number of digits the first digit forms
// the first byte alone. An empty text, or "0x" alone, gives no bytes and no error.
HexBytes HexTextToBytes(std::string_view text);

// Exactly four hexadecimal digits of either case.
bool IsValidHex4Text(std::string_view text);

}  // namespace talvero
