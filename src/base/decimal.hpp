#pragma once

#include <charconv>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvero {

// The whole text read as a decimal number of type T: digits, with a minus in
// front for a signed T; anything else, or a value beyond T, gives nothing.
template <std::integral T>
std::optional<T> ParseDecimal(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

// As ParseDecimal, and a plus may stand in front instead of a minus.
inline std::optional<int32_t> ParseSignedDecimal(std::string_view text) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) {
      return std::nullopt;
    }
  }
  return ParseDecimal<int32_t>(text);
}

}  // namespace talvero
