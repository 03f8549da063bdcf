#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr uint8_t kNoDigit = 255;

}  // namespace

std::string StrToHexText(std::string_view bytes) {
  // Sized once and filled in place: every received frame is logged so.
  std::string text(bytes.size() * 2, '\0');
  char* out = text.data();
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    *out++ = kUpperDigits[b >> 4];
    *out++ = kUpperDigits[b & 0x0F];
  }
  return text;
}

uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<uint8_t>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<uint8_t>(c - 'A' + 10);
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<uint8_t>(c - 'a' + 10);
  }
  return kNoDigit;
}

HexBytes HexTextToBytes(std::string_view text) {
  if (text.starts_with("0x")) {
    text.remove_prefix(2);
  }
  HexBytes result;
  result.Bytes.reserve((text.size() + 1) / 2);
  // An odd digit count puts the lone digit in front, so pairs line up from the end.
  size_t pos = 0;
  if (text.size() % 2 == 1) {
    const uint8_t v = HexDigitValue(text[0]);
    if (v == kNoDigit) {
      return {{}, true};
    }
    result.Bytes.push_back(static_cast<char>(v));
    pos = 1;
  }
  for (; pos < text.size(); pos += 2) {
    const uint8_t hi = HexDigitValue(text[pos]);
    const uint8_t lo = HexDigitValue(text[pos + 1]);
    if (hi == kNoDigit || lo == kNoDigit) {
      return {{}, true};
    }
    result.Bytes.push_back(static_cast<char>((hi << 4) | lo));
  }
  return result;
}

bool IsValidHex4Text(std::string_view text) {
  if (text.size() != 4) {
    return false;
  }
  for (const char c : text) {
    if (HexDigitValue(c) == kNoDigit) {
      return false;
    }
  }
  return true;
}

}  // namespace talvero
