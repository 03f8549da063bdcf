#include "hosts/console_log_watch.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "base/text_file.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;

const TDateTime kNine = At(2026, 12, 11, 9, 0, 0);
const TDateTime kTen = At(2026, 12, 11, 10, 0, 0);
constexpr const char* kNineText = "2026-12-11 09:00:00";
constexpr const char* kTenText = "2026-12-11 10:00:00";

struct LookCase {
  const char* name;
  WatchMemory remembered;
  LogTimes now;
  bool newError;
  bool newImportant;
  WatchMemory memory;
};

TEST(ConsoleLogWatchTest, ALookTellsWhatIsNewAndWhatToRemember) {
  const LookCase cases[] = {
      {"no memory, both logs",
       {false, "", ""},
       {kNine, kNine},
       true,
       true,
       {true, kNineText, kNineText}},
      {"no memory, no logs", {false, "", ""}, {}, false, false, {true, "", ""}},
      {"unchanged",
       {true, kNineText, kNineText},
       {kNine, kNine},
       false,
       false,
       {true, kNineText, kNineText}},
      {"both younger",
       {true, kNineText, kNineText},
       {kTen, kTen},
       true,
       true,
       {true, kTenText, kTenText}},
      {"older than remembered",
       {true, kTenText, kTenText},
       {kNine, kNine},
       false,
       false,
       {true, kNineText, kNineText}},
      {"empty error time",
       {true, "", kNineText},
       {kNine, kNine},
       true,
       false,
       {true, kNineText, kNineText}},
      {"empty important time",
       {true, kNineText, ""},
       {kNine, kTen},
       false,
       false,
       {true, kNineText, kTenText}},
      {"unreadable error time",
       {true, "11.12.2026 09:00", kNineText},
       {kNine, kNine},
       true,
       false,
       {true, kNineText, kNineText}},
      {"unreadable important time",
       {true, kNineText, "\x01\xff garbage"},
       {kNine, kTen},
       false,
       false,
       {true, kNineText, kTenText}},
      {"logs gone: the memory stays",
       {true, kNineText, kTenText},
       {},
       false,
       false,
       {true, kNineText, kTenText}},
  };
  for (const LookCase& c : cases) {
    const WatchFinding finding = LookAtLogs(c.remembered, c.now);
    EXPECT_EQ(finding.newError, c.newError) << c.name;
    EXPECT_EQ(finding.newImportant, c.newImportant) << c.name;
    EXPECT_EQ(finding.memory, c.memory) << c.name;
  }
}

struct MemoryFileCase {
  const char* name;
  std::string bytes;
  std::string errorTime;
  std::string importantTime;
};

TEST(ConsoleLogWatchTest, ResTxtOfAnyContentReadsAsTwoTexts) {
  const MemoryFileCase cases[] = {
      {"two lines", std::string(kNineText) + "\r\n" + kTenText + "\r\n", kNineText, kTenText},
      {"empty second line", std::string(kNineText) + "\r\n\r\n", kNineText, ""},
      {"one line", std::string(kNineText) + "\r\n", kNineText, ""},
      {"empty", "", "", ""},
      {"lines ended by LF", std::string(kNineText) + "\n" + kTenText + "\n", kNineText, kTenText},
      {"binary", std::string("\0\xff\r\n\x80", 5), std::string("\0\xff", 2), "\x80"},
      {"huge", std::string(1 << 20, 'x'), std::string(4096, 'x'), ""},
  };
  testing::TempDir dir;
  const std::filesystem::path file = dir.path() / "Res.txt";
  for (const MemoryFileCase& c : cases) {
    ReplaceFileWith(file, c.bytes);
    const WatchMemory memory = ReadWatchMemory(file);
    EXPECT_TRUE(memory.exists) << c.name;
    EXPECT_EQ(memory.errorTime, c.errorTime) << c.name;
    EXPECT_EQ(memory.importantTime, c.importantTime) << c.name;
  }
  std::filesystem::remove(file);
  EXPECT_FALSE(ReadWatchMemory(file).exists);
}

TEST(ConsoleLogWatchTest, TheMemoryIsWrittenAsTwoLinesAndTheLogTimesAreWholeSeconds) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path() / "Log_Service");
  const std::filesystem::path file = dir.path() / kWatchMemoryFile;
  WriteWatchMemory(file, {true, kNineText, ""});
  EXPECT_EQ(ReadWholeFile(file), std::string(kNineText) + "\r\n\r\n");

  EXPECT_FALSE(ReadLogTimes(dir.path()).errors);
  ReplaceFileWith(dir.path() / kServiceErrorsLog, "x");
  std::filesystem::last_write_time(
      dir.path() / kServiceErrorsLog,
      std::filesystem::file_time_type::clock::now() - std::chrono::milliseconds(1500));
  const LogTimes times = ReadLogTimes(dir.path());
  ASSERT_TRUE(times.errors);
  EXPECT_FALSE(times.important);
  EXPECT_EQ(times.errors->ms % 1000, 0);
  // Read back from its text, the time is not later than itself.
  const WatchFinding again =
      LookAtLogs(LookAtLogs({false, "", ""}, times).memory, ReadLogTimes(dir.path()));
  EXPECT_FALSE(again.newError);
}

}  // namespace
}  // namespace talvero
