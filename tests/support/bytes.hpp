#pragma once

#include <initializer_list>
#include <string>

namespace talvero::testing {

// A byte string from byte values, so test frames read like the hex dumps in logs.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) {
    out.push_back(static_cast<char>(v));
  }
  return out;
}

}  // namespace talvero::testing
