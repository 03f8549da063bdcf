#pragma once

#include <string_view>

namespace talvero {

// A control character: bytes below 0x20, and 0x7F.
inline bool IsControlChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Without the blanks and control characters at both ends, as every text the
// operator or a file gives is read.
inline std::string_view TrimText(std::string_view text) {
  const auto blankOrControl = [](char c) { return c == ' ' || IsControlChar(c); };
  while (!text.empty() && blankOrControl(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blankOrControl(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace talvero
