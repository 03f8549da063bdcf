#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "log/log_channel.hpp"
#include "log_home.hpp"

// The channel keeps its file open between lines; each line must still reach
// the file that stands at the line's path at that moment.
namespace talvero {
namespace {

using std::chrono::milliseconds;
using testing::At;
using testing::BlockFolder;
using testing::kStamp;
using testing::LogHome;
using testing::ReadFile;
using testing::WriteFile;

class KeptOpenLogTest : public ::testing::Test, protected LogHome {};

TEST_F(KeptOpenLogTest, EachLineGoesToTheFileAtThePathWhateverHappenedToItBetweenLines) {
  namespace fs = std::filesystem;
  struct Case {
    const char* name;
    std::function<void(const fs::path& folder)> between;  // the channel's folder
    std::string atPath;        // the file at the channel's path afterwards
    const char* elsewhere;     // where the first line was moved to, under the case's folder
    bool throughLink = false;  // the channel's folder is a link to "first-target"
  };
  const std::string first = kStamp + "first\r\n";
  const std::string second = kStamp + "second\r\n";
  const Case cases[] = {
      {"nothing", [](const fs::path&) {}, first + second, nullptr},
      {"file deleted", [](const fs::path& f) { fs::remove(f / "Imp_msg.log"); }, second, nullptr},
      {"folder deleted", [](const fs::path& f) { fs::remove_all(f); }, second, nullptr},
      {"file moved away",
       [](const fs::path& f) { fs::rename(f / "Imp_msg.log", f.parent_path() / "moved.log"); },
       second, "Above/moved.log"},
      {"folder moved away", [](const fs::path& f) { fs::rename(f, f.parent_path() / "moved"); },
       second, "Above/moved/Imp_msg.log"},
      {"folder above moved away",
       [](const fs::path& f) { fs::rename(f.parent_path(), f.parent_path().string() + "-moved"); },
       second, "Above-moved/Log/Imp_msg.log"},
      {"file replaced",
       [](const fs::path& f) {
         WriteFile(f / "new.log", "other\r\n");
         fs::rename(f / "new.log", f / "Imp_msg.log");
       },
       "other\r\n" + second, nullptr},
      {"link on the path pointed elsewhere",
       [](const fs::path& f) {
         fs::create_directory(f.parent_path() / "second-target");
         fs::create_directory_symlink("second-target", f.parent_path() / "new-link");
         fs::rename(f.parent_path() / "new-link", f);
       },
       second, "Above/first-target/Imp_msg.log", true},
      {"appended to by another writer",
       [](const fs::path& f) {
         std::ofstream(f / "Imp_msg.log", std::ios::binary | std::ios::app) << "x\r\n";
       },
       first + "x\r\n" + second, nullptr},
  };
  int n = 0;
  for (const auto& c : cases) {
    // Each case in a folder of its own: the channel writes to "Case<n>/Above/Log".
    const std::string root = "Case" + std::to_string(n++);
    const fs::path above = home / (root + "/Above");
    fs::create_directories(above / "first-target");
    if (c.throughLink) {
      fs::create_directory_symlink("first-target", above / "Log");
    }
    TLog log(time, root + "/Above/Log", "Imp_msg", TLogNaming::lnFixedName);
    log.Add("first");
    c.between(above / "Log");
    log.Add("second");
    EXPECT_EQ(ReadFile(above / "Log/Imp_msg.log"), c.atPath) << c.name;
    if (c.elsewhere != nullptr) {
      EXPECT_EQ(ReadFile(home / root / c.elsewhere), first) << c.name;
    }
  }
}

TEST_F(KeptOpenLogTest, EveryLineIsInTheFileWhenAddReturns) {
  TLog log(time, "Log", "Errors", TLogNaming::lnFixedName);
  std::string expected;
  for (const char* message : {"one", "two", "three"}) {
    log.Add(message);
    expected += kStamp + message + "\r\n";
    EXPECT_EQ(ReadFile(home / "Log/Errors.log"), expected);
  }
}

TEST_F(KeptOpenLogTest, MidnightMovesLinesToTheNewDayAndLeavesTheOldFileAlone) {
  time.SetNow(At(2024, 3, 7, 23, 59, 58));
  TLog daily(time, "Log/All msg", "", TLogNaming::lnDaily);
  daily.Add("a");
  daily.Add("b");
  time.Advance(milliseconds(2000));
  daily.Add("c");
  // The old day's file is no longer written, so removing it does not bring it back.
  std::filesystem::remove(home / "Log/All msg/2024-03-07.log");
  daily.Add("d");
  EXPECT_FALSE(std::filesystem::exists(home / "Log/All msg/2024-03-07.log"));
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-08.log"),
            "2024.03.08 00:00:00 - c\r\n2024.03.08 00:00:00 - d\r\n");
  // A clock set back a day writes to that day's file again.
  time.SetNow(At(2024, 3, 7, 23, 59, 59));
  daily.Add("e");
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-07.log"), "2024.03.07 23:59:59 - e\r\n");
}

TEST_F(KeptOpenLogTest, FolderReplacedAfterALineFailsEachLineUntilItIsBack) {
  TLog log(time, "Log/All msg", "", TLogNaming::lnDaily);
  log.Add("before");
  BlockFolder(home / "Log/All msg");
  EXPECT_THROW(log.Add("lost"), std::runtime_error);
  EXPECT_THROW(log.Add("lost again"), std::runtime_error);
  std::filesystem::remove(home / "Log/All msg");
  log.Add("back");
  EXPECT_EQ(ReadFile(home / "Log/All msg/2024-03-07.log"), kStamp + "back\r\n");
}

}  // namespace
}  // namespace talvero
