#include "hosts/console_log_watch.hpp"

#include <chrono>
#include <fstream>
#include <system_error>
#include <vector>

#include "base/text_file.hpp"
#include "engine/date_time_text.hpp"
#include "platform/system_clock.hpp"

namespace talvero {
namespace {

// Two date texts and their line ends fit many times over; the rest of a huge
// or foreign file is never read.
constexpr std::streamsize kMemoryBytesRead = 4096;

std::optional<TDateTime> ModificationTime(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return std::nullopt;
  }
  const auto written = std::filesystem::last_write_time(file, error);
  if (error) {
    return std::nullopt;
  }
  const auto moment =
      std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(written));
  return LocalDateTime(moment);
}

}  // namespace

WatchFinding LookAtLogs(const WatchMemory& remembered, const LogTimes& now) {
  WatchFinding finding;
  finding.memory = remembered;
  finding.memory.exists = true;
  if (now.errors) {
    const std::optional<TDateTime> before = ParseDateTimeText(remembered.errorTime);
    finding.newError = !remembered.exists || !before || *now.errors > *before;
    finding.memory.errorTime = DateTimeText(*now.errors);
  }
  if (now.important) {
    const std::optional<TDateTime> before = ParseDateTimeText(remembered.importantTime);
    finding.newImportant = !remembered.exists || (before && *now.important > *before);
    finding.memory.importantTime = DateTimeText(*now.important);
  }
  return finding;
}

WatchMemory ReadWatchMemory(const std::filesystem::path& file) {
  std::error_code error;
  WatchMemory memory;
  memory.exists = std::filesystem::exists(file, error);
  if (!memory.exists) {
    return memory;
  }
  std::ifstream in(file, std::ios::binary);
  std::string head(kMemoryBytesRead, '\0');
  in.read(head.data(), kMemoryBytesRead);
  head.resize(in ? kMemoryBytesRead
                 : static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  const std::vector<std::string_view> lines = SplitLines(head);
  if (!lines.empty()) {
    memory.errorTime = lines[0];
  }
  if (lines.size() > 1) {
    memory.importantTime = lines[1];
  }
  return memory;
}

void WriteWatchMemory(const std::filesystem::path& file, const WatchMemory& memory) {
  ReplaceFileWithLines(file, {memory.errorTime, memory.importantTime});
}

LogTimes ReadLogTimes(const std::filesystem::path& folder) {
  return {ModificationTime(folder / kServiceErrorsLog),
          ModificationTime(folder / kServiceImportantLog)};
}

}  // namespace talvero
