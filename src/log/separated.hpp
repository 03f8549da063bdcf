#pragma once

#include <string>
#include <string_view>

namespace talvero {

// A separated message: the logs write it after an empty line.
inline std::string Separated(std::string_view message) {
  std::string text(1, '\0');
  text.append(message);
  return text;
}

}  // namespace talvero
