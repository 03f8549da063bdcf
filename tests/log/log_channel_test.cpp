#include "log/log_channel.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/runtime_metrics.hpp"
#include "log_home.hpp"
#include "recording_observer.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using std::chrono::milliseconds;
using testing::At;
using testing::BlockFolder;
using testing::kStamp;
using testing::LogHome;
using testing::ReadFile;
using testing::RecordingObserver;

class TLogTest : public ::testing::Test, protected LogHome {};

TEST_F(TLogTest, EachMessageBecomesOneStampedLineWithCrLf) {
  struct Case {
    std::string message;
    std::string file;
  };
  const Case cases[] = {
      {"Application started..", kStamp + "Application started..\r\n"},
      {"", kStamp + "\r\n"},
      {"\0Send Cmd <Ping>"s, "\r\n" + kStamp + "Send Cmd <Ping>\r\n"},
      {"\0"s, "\r\n" + kStamp + "\r\n"},
      {"\0\0twice"s, "\r\n" + kStamp + "\0twice\r\n"s},
      {"a\0b"s, kStamp + "a\0b\r\n"s},
      {"Application closed\r\n", kStamp + "Application closed\r\n\r\n"},
      {"two\nlines", kStamp + "two\nlines\r\n"},
      {"\x80\xff bytes", kStamp + "\x80\xff bytes\r\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "case" + std::to_string(n++);
    TLog log(time, "Log", name, TLogNaming::lnFixedName);
    log.Add(c.message);
    EXPECT_EQ(ReadFile(home / ("Log/" + name + ".log")), c.file) << name;
  }
}

TEST_F(TLogTest, SeparatedMessagesGetExactlyOneEmptyLineInFileAndView) {
  RecordingObserver observer;
  TLog log(time, "Log", "Imp_msg", TLogNaming::lnFixedName, {&observer, "Imp_msg", false});
  for (const auto& message : {"a"s, "\0b"s, "\0c"s, "d"s}) {
    log.Add(message);
  }
  EXPECT_EQ(ReadFile(home / "Log/Imp_msg.log"),
            kStamp + "a\r\n\r\n" + kStamp + "b\r\n\r\n" + kStamp + "c\r\n" + kStamp + "d\r\n");
  EXPECT_EQ(observer.Lines("Imp_msg"), (std::vector<std::string>{kStamp + "a", "", kStamp + "b", "",
                                                                 kStamp + "c", kStamp + "d"}));
}

TEST_F(TLogTest, FileNameFollowsTheNamingAndTheFolderGetsOneSeparator) {
  struct Case {
    const char* folder;
    const char* fileName;
    TLogNaming naming;
    const char* path;
  };
  const Case cases[] = {
      {"Log", "Imp_msg", TLogNaming::lnFixedName, "Log/Imp_msg.log"},
      {"Log/", "Errors", TLogNaming::lnFixedName, "Log/Errors.log"},
      {"Log/All msg", "", TLogNaming::lnDaily, "Log/All msg/2024-03-07.log"},
      {"Log_Service/Deep/Er", "Frames", TLogNaming::lnNameAndDate,
       "Log_Service/Deep/Er/Frames 2024-03-07.log"},
  };
  for (const auto& c : cases) {
    TLog log(time, c.folder, c.fileName, c.naming);
    EXPECT_TRUE(std::filesystem::is_directory(home / c.folder)) << c.path;
    EXPECT_EQ(log.FilePath(time.Now()), (home / c.path).string());
    log.Add("x");
    EXPECT_EQ(ReadFile(home / c.path), kStamp + "x\r\n") << c.path;
  }
}

TEST_F(TLogTest, DailyFileChangesAtMidnightAndFixedFileNever) {
  time.SetNow(At(2024, 3, 7, 23, 59, 59, 500));
  TLog daily(time, "Log/All msg", "", TLogNaming::lnDaily);
  TLog fixed(time, "Log", "Errors", TLogNaming::lnFixedName);
  daily.Add("before");
  fixed.Add("before");
  time.Advance(milliseconds(500));
  daily.Add("after");
  fixed.Add("after");
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-07.log"), "2024.03.07 23:59:59 - before\r\n");
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-08.log"), "2024.03.08 00:00:00 - after\r\n");
  EXPECT_EQ(ReadFile(home / "Log/Errors.log"),
            "2024.03.07 23:59:59 - before\r\n2024.03.08 00:00:00 - after\r\n");
}

TEST_F(TLogTest, DeferredLinesWaitForTheFlushAndLeaveInOrderOnce) {
  int requests = 0;
  TLog log(time, "Log", "All", TLogNaming::lnFixedName);
  log.DeferWrites([&] { ++requests; });
  log.Add("one");
  log.Add("\0two"s);
  EXPECT_EQ(ReadFile(home / "Log/All.log"), "");
  EXPECT_EQ(requests, 1);
  log.Flush();
  EXPECT_EQ(ReadFile(home / "Log/All.log"), kStamp + "one\r\n\r\n" + kStamp + "two\r\n");
  log.Flush();  // nothing waits: nothing written twice
  log.Add("three");
  EXPECT_EQ(requests, 2);
  log.Flush();
  EXPECT_EQ(ReadFile(home / "Log/All.log"),
            kStamp + "one\r\n\r\n" + kStamp + "two\r\n" + kStamp + "three\r\n");
}

TEST_F(TLogTest, DeferredLinesOfANewDayGoToItsFileAndWaitingOnesAreNotLostWithTheChannel) {
  time.SetNow(At(2024, 3, 7, 23, 59, 59, 500));
  {
    TLog daily(time, "Log/All msg", "", TLogNaming::lnDaily);
    daily.DeferWrites([] {});
    daily.Add("before");
    time.Advance(milliseconds(500));
    daily.Add("after");
    // The new day's line wrote the day before's at once.
    EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-07.log"), "2024.03.07 23:59:59 - before\r\n");
    EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-08.log"), "");
  }
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-08.log"), "2024.03.08 00:00:00 - after\r\n");
}

TEST_F(TLogTest, LinesAreAppendedToWhatTheFileHeldAndAreOnDiskAtOnce) {
  std::filesystem::create_directories(home / "Log");
  std::ofstream(home / "Log/Errors.log", std::ios::binary) << "old line\r\n";
  TLog log(time, "Log", "Errors", TLogNaming::lnFixedName);
  log.Add("new");
  EXPECT_EQ(ReadFile(home / "Log/Errors.log"), "old line\r\n" + kStamp + "new\r\n");
}

TEST_F(TLogTest, DeletedFolderIsCreatedAgainWithItsParentsByTheNextLine) {
  TLog log(time, "Log_Service/All msg", "", TLogNaming::lnDaily);
  log.Add("first");
  std::filesystem::remove_all(home / "Log_Service");
  log.Add("second");
  EXPECT_EQ(ReadFile(home / "Log_Service/All msg/2024-03-07.log"), kStamp + "second\r\n");
}

TEST_F(TLogTest, CreatingRaisesWhenTheFolderCannotBeMade) {
  BlockFolder(home / "Log");
  try {
    TLog log(time, "Log/All msg", "", TLogNaming::lnDaily);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create log folder"), std::string::npos)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("Log/All msg"), std::string::npos) << e.what();
  }
}

TEST_F(TLogTest, FailedWriteIsRaisedAfterTheViewButBeforeIndicatorAndNext) {
  RecordingObserver observer;
  TLog next(time, "Next", "Imp_msg", TLogNaming::lnFixedName);
  TLog log(time, "Log", "Imp_msg", TLogNaming::lnFixedName, {&observer, "Imp_msg", true}, &next);
  log.Add("fine");
  std::filesystem::remove(home / "Log/Imp_msg.log");
  std::filesystem::create_directory(home / "Log/Imp_msg.log");  // cannot be opened as a file
  const uint64_t failuresBefore = Metrics().logWriteFailures.load();
  try {
    log.Add("lost");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(Metrics().logWriteFailures.load() - failuresBefore, 1u);
    EXPECT_NE(std::string(e.what()).find("Cannot open log file"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Log/Imp_msg.log"), std::string::npos) << e.what();
  }
  EXPECT_EQ(observer.Events(),
            (std::vector<std::string>{"Imp_msg|" + kStamp + "fine", "blink Imp_msg",
                                      "Imp_msg|" + kStamp + "lost"}));
  EXPECT_EQ(ReadFile(home / "Next/Imp_msg.log"), kStamp + "fine\r\n");
}

TEST_F(TLogTest, ReplacedFolderMakesEveryLineFailUntilItIsBack) {
  TLog log(time, "Log/All msg", "", TLogNaming::lnDaily);
  BlockFolder(home / "Log/All msg");
  EXPECT_THROW(log.Add("lost"), std::runtime_error);
  std::filesystem::remove(home / "Log/All msg");
  log.Add("back");
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-07.log"), kStamp + "back\r\n");
}

TEST_F(TLogTest, NextLogGetsTheMessageWithItsSeparator) {
  TLog next(time, "Other", "copy", TLogNaming::lnFixedName);
  TLog log(time, "Log", "main", TLogNaming::lnFixedName, {}, &next);
  log.Add("\0sep"s);
  const std::string expected = "\r\n" + kStamp + "sep\r\n";
  EXPECT_EQ(ReadFile(home / "Log/main.log"), expected);
  EXPECT_EQ(ReadFile(home / "Other/copy.log"), expected);
}

TEST_F(TLogTest, IndicatorBlinksOnlyForChannelsThatHaveOne) {
  RecordingObserver observer;
  TLog errors(time, "Log", "Errors", TLogNaming::lnFixedName, {&observer, "Errors", true});
  TLog all(time, "Log/All msg", "", TLogNaming::lnDaily, {&observer, "All msg", false});
  errors.Add("e");
  all.Add("a");
  EXPECT_EQ(observer.Events(), (std::vector<std::string>{"Errors|" + kStamp + "e", "blink Errors",
                                                         "All msg|" + kStamp + "a"}));
}

}  // namespace
}  // namespace talvero
