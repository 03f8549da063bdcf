#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "base/logger.hpp"

namespace talvero {

// Reports a failure under an operation's name; never throws, even when the
// "Errors" log itself cannot be written.
void ReportFailure(Logger& log, std::string_view procName, std::string_view failure) noexcept;

// The boundary of an operation: runs body, and reports any exception it raises
// with LogErr under procName. Returns false when body failed.
template <class Body>
bool Guarded(Logger& log, std::string_view procName, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const std::exception& e) {
    ReportFailure(log, procName, e.what());
  } catch (...) {
    ReportFailure(log, procName, "unknown failure");
  }
  return false;
}

// Calls a handler the owner may not have set, within the boundary of procName.
template <class Handler, class... Args>
void GuardedCall(Logger& log, std::string_view procName, const Handler& handler,
                 Args&&... args) noexcept {
  Guarded(log, procName, [&] {
    if (handler) {
      handler(std::forward<Args>(args)...);
    }
  });
}

}  // namespace talvero
