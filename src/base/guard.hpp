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

}  // namespace talvero
