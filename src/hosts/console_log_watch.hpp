#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "base/date_time.hpp"

namespace talvero {

// The service's two watched logs and the console's memory of them, below the
// console's folder.
inline constexpr const char* kServiceErrorsLog = "Log_Service/Errors.log";
inline constexpr const char* kServiceImportantLog = "Log_Service/Imp_msg.log";
inline constexpr const char* kWatchMemoryFile = "Log_Service/Res.txt";

// What Res.txt holds: the modification times of the two logs when they were
// last reported, as date texts; a text may be empty, or damaged.
struct WatchMemory {
  bool exists = false;
  std::string errorTime;
  std::string importantTime;

  friend bool operator==(const WatchMemory&, const WatchMemory&) = default;
};

// The logs' modification times now, in whole seconds; nothing for a missing log.
struct LogTimes {
  std::optional<TDateTime> errors;
  std::optional<TDateTime> important;
};

struct WatchFinding {
  bool newError = false;
  bool newImportant = false;
  // What Res.txt is to hold; written only when something is new.
  WatchMemory memory;
};

// One look at the logs. A new line in Errors.log counts when there is no
// memory yet, when the remembered time is empty or when the log is younger; an
// Imp_msg.log only when there is no memory yet or when it is younger than a
// remembered time. A remembered time that cannot be read is taken as empty.
WatchFinding LookAtLogs(const WatchMemory& remembered, const LogTimes& now);

// Reads the first two lines of Res.txt (a missing file: exists is false; an
// unreadable one counts as existing and empty). Never throws.
WatchMemory ReadWatchMemory(const std::filesystem::path& file);
// Writes the two lines, each ended by CR LF; throws when the file cannot be written.
void WriteWatchMemory(const std::filesystem::path& file, const WatchMemory& memory);
// The logs below folder. Never throws.
LogTimes ReadLogTimes(const std::filesystem::path& folder);

}  // namespace talvero
