#include "log/time_text.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "log/exe_folder.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using std::chrono::milliseconds;
using testing::At;

TEST(TimeText, StampAndDailyDateArePaddedAndUseTheTwentyFourHourClock) {
  struct Case {
    TDateTime moment;
    const char* stamp;
    const char* date;
  };
  const Case cases[] = {
      {At(2024, 3, 7, 9, 5, 3), "2024.03.07 09:05:03", "2024-03-07"},
      {At(2024, 12, 31, 23, 59, 59, 999), "2024.12.31 23:59:59", "2024-12-31"},
      {At(2025, 1, 1), "2025.01.01 00:00:00", "2025-01-01"},
      {At(999, 2, 3, 13, 0, 0), "0999.02.03 13:00:00", "0999-02-03"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeStampText(c.moment), c.stamp);
    EXPECT_EQ(LogDateText(c.moment), c.date);
  }
}

TEST(TimeText, DurationGivesWholeDaysAndTheRestOfTheDay) {
  constexpr int64_t kSecond = 1000;
  constexpr int64_t kDay = 86400 * kSecond;
  struct Case {
    int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {kDay + (2 * 3600 + 3 * 60 + 4) * kSecond, "1d. 02:03:04"},
      {kDay / 2, "0d. 12:00:00"},
      {0, "0d. 00:00:00"},
      {999, "0d. 00:00:00"},
      {kDay - 1, "0d. 23:59:59"},
      {400 * kDay + 59 * kSecond, "400d. 00:00:59"},
      {-5 * kSecond, "-0d. 00:00:05"},
      {-(kDay + 3600 * kSecond), "-1d. 01:00:00"},
      {INT64_MIN, "-106751991167d. 07:12:55"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DurationText(milliseconds(c.ms)), c.text) << c.ms;
  }
}

TEST(TimeText, SecondsSinceIsTheTruncatedDistanceEitherWay) {
  const TDateTime moment = At(2024, 3, 7, 12, 0, 0);
  struct Case {
    int64_t nowOffsetMs;
    int64_t seconds;
  };
  const Case cases[] = {{0, 0}, {999, 0}, {10'999, 10}, {11'000, 11}, {-10'999, 10}, {-61'000, 61}};
  for (const auto& c : cases) {
    EXPECT_EQ(SecondsSince(moment, AddMilliseconds(moment, c.nowOffsetMs)), c.seconds)
        << c.nowOffsetMs;
  }
}

TEST(ExeFolder, SetFolderEndsInOneSeparatorAndIsAbsolute) {
  SetExeFolder("/srv/talvero");
  EXPECT_EQ(ExeFolder(), "/srv/talvero/");
  SetExeFolder("/srv/talvero/");
  EXPECT_EQ(ExeFolder(), "/srv/talvero/");
  SetExeFolder("home");
  EXPECT_EQ(ExeFolder(), (std::filesystem::current_path() / "home").string() + "/");
}

TEST(ExeFolderDeathTest, DefaultsToTheFolderOfTheExecutable) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where nothing was set
  const auto expected =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
  EXPECT_EXIT(std::_Exit(ExeFolder() == expected ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace talvero
