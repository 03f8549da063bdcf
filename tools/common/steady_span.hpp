#pragma once

#include <chrono>

namespace talvero {

// Seconds as the options give them, as a span of the steady clock the tools' timers run on.
inline std::chrono::steady_clock::duration Span(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

inline double Seconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double>(span).count();
}

}  // namespace talvero
