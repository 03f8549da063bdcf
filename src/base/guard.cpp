#include "base/guard.hpp"

namespace talvero {

void ReportFailure(Logger& log, std::string_view procName, std::string_view failure) noexcept {
  try {
    log.LogErr(procName, failure);
  } catch (...) {
    // The "Errors" log is the last place a failure can go; the engine runs on.
  }
}

}  // namespace talvero
