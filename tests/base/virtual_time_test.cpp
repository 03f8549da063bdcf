#include "support/virtual_time.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace talvero::testing {
namespace {

using std::chrono::milliseconds;

TEST(VirtualTime, PeriodicAndOneShotTimersFireAtTheirDueTimes) {
  VirtualTime time(At(2024, 3, 7, 9, 0, 0));
  std::vector<std::pair<char, int64_t>> fired;
  const auto start = time.Now().ms;
  auto periodic = time.MakeTimer(TimerKind::Periodic, [&] {
    fired.push_back({'p', time.Now().ms - start});
  });
  auto once = time.MakeTimer(TimerKind::OneShot, [&] {
    fired.push_back({'o', time.Now().ms - start});
  });
  periodic->Start(milliseconds(5000));
  once->Start(milliseconds(7000));
  time.Advance(milliseconds(12000));
  EXPECT_EQ(fired, (std::vector<std::pair<char, int64_t>>{{'p', 5000}, {'o', 7000}, {'p', 10000}}));
  EXPECT_TRUE(periodic->Running());
  EXPECT_FALSE(once->Running());
  EXPECT_EQ(time.Now().ms - start, 12000);
}

TEST(VirtualTime, RestartCountsTheFullIntervalAgainAndStopCancels) {
  VirtualTime time(At(2024, 3, 7));
  int ticks = 0;
  auto timer = time.MakeTimer(TimerKind::OneShot, [&] { ++ticks; });
  timer->Start(milliseconds(1000));
  time.Advance(milliseconds(600));
  timer->Start(milliseconds(1000));
  time.Advance(milliseconds(999));
  EXPECT_EQ(ticks, 0);
  time.Advance(milliseconds(1));
  EXPECT_EQ(ticks, 1);
  timer->Start(milliseconds(1000));
  timer->Stop();
  time.Advance(milliseconds(5000));
  EXPECT_EQ(ticks, 1);
}

TEST(VirtualTime, AHandlerMayDestroyItsOwnTimer) {
  VirtualTime time(At(2024, 3, 7));
  std::unique_ptr<Timer> timer;
  int ticks = 0;
  timer = time.MakeTimer(TimerKind::Periodic, [&] {
    ++ticks;
    timer.reset();
  });
  timer->Start(milliseconds(10));
  time.Advance(milliseconds(100));
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(time.PendingTimers(), 0u);
}

}  // namespace
}  // namespace talvero::testing
