#pragma once

#include <string_view>

namespace talvero {

// The three log operations every part of the system reports through. A message
// whose first character is NUL is a separated message (written after an empty line).
class Logger {
 public:
  virtual ~Logger() = default;
  virtual void LogAllMsg(std::string_view message) = 0;
  // Also copied to the "All msg" log.
  virtual void LogImpMsg(std::string_view message) = 0;
  // Reports a failure caught at the boundary of the operation procName.
  virtual void LogErr(std::string_view procName, std::string_view failure) = 0;
  // A plain text for the "Errors" log (database failures and the like).
  virtual void LogErrorText(std::string_view text) = 0;
};

}  // namespace talvero
