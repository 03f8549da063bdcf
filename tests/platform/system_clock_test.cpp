#include "platform/system_clock.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace talvero {
namespace {

// The local time of this moment, whole seconds, from the C library directly.
TDateTime LocalSecondNow() {
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&seconds, &local);
  return *EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, std::min(local.tm_sec, 59), 0});
}

TEST(SystemClock, GivesTheLocalTimeInEveryThread) {
  const SystemClock clock;
  const auto check = [&] {
    for (int i = 0; i < 2000; ++i) {
      const TDateTime before = LocalSecondNow();
      const TDateTime now = clock.Now();
      const TDateTime after = LocalSecondNow();
      ASSERT_LE(before, now);
      ASSERT_LT(now, AddMilliseconds(after, 1000));
    }
  };
  check();
  std::thread other(check);
  other.join();
  check();
}

TEST(SystemClock, ConvertsAnyMomentToLocalTimeWithItsMilliseconds) {
  const auto moment = std::chrono::system_clock::now();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(moment);
  const TDateTime local = LocalDateTime(moment);
  EXPECT_EQ(local.ms - LocalDateTime(seconds).ms,
            std::chrono::duration_cast<std::chrono::milliseconds>(moment - seconds).count());
  // Before 1970 the milliseconds still count forward within their second.
  const auto early = std::chrono::system_clock::time_point(std::chrono::milliseconds(-1));
  EXPECT_EQ(DecodeDateTime(LocalDateTime(early)).millisecond, 999);
}

}  // namespace
}  // namespace talvero
