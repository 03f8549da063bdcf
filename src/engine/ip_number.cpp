#include "engine/ip_number.hpp"

#include <array>

#include <fmt/format.h>

#include "base/decimal.hpp"

namespace talvero {
namespace {

// A decimal 32-bit integer with an optional sign, else 0.
int32_t PartValue(std::string_view part) {
  return ParseSignedDecimal(part).value_or(0);
}

}  // namespace

uint32_t IPTextToNumber(std::string_view text) {
  std::array<std::string_view, 4> parts;
  for (size_t i = 0; i < 3; ++i) {
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
      parts[i] = text;
      text = {};
    } else {
      parts[i] = text.substr(0, dot);
      text.remove_prefix(dot + 1);
    }
  }
  parts[3] = text;
  uint32_t number = 0;
  for (const auto part : parts) {
    number = (number << 8) | (static_cast<uint32_t>(PartValue(part)) & 0xFF);
  }
  return number;
}

std::string IPNumberToText(uint32_t number) {
  return fmt::format("{}.{}.{}.{}", number >> 24, (number >> 16) & 0xFF, (number >> 8) & 0xFF,
                     number & 0xFF);
}

}  // namespace talvero
