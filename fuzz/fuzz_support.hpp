#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/recording_logger.hpp"

namespace talvero::fuzzing {

// Ends the run as a finding when a rule about outside bytes is broken, so
// libFuzzer keeps the input that did it.
[[noreturn]] inline void Finding(std::string_view rule) {
  std::fprintf(stderr, "finding: %.*s\n", static_cast<int>(rule.size()), rule.data());
  std::abort();
}

// Nothing that comes from outside (a unit, the station, a file) may reach the
// "Errors" log through LogErr, except the names given.
inline void RequireNoErr(const testing::RecordingLogger& log,
                         std::initializer_list<std::string_view> allowed = {}) {
  for (const auto& entry : log.entries) {
    if (entry.kind != testing::RecordingLogger::Kind::Err) {
      continue;
    }
    const std::string_view name = std::string_view(entry.text).substr(0, entry.text.find('|'));
    bool ok = false;
    for (const std::string_view a : allowed) {
      ok = ok || name == a;
    }
    if (!ok) {
      Finding("LogErr " + entry.text);
    }
  }
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace talvero::fuzzing
