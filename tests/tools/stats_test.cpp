#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "unit_sim/latency_stats.hpp"
#include "unit_sim/rate_pacer.hpp"

namespace talvero {
namespace {

using std::chrono::milliseconds;

TEST(Latency, NearestRankPercentiles) {
  std::vector<uint32_t> samples(100);
  for (uint32_t i = 0; i < 100; ++i) {
    samples[i] = i + 1;
  }
  std::shuffle(samples.begin(), samples.end(), std::mt19937(7));
  const LatencySummary s = Summarise(samples);
  EXPECT_EQ(s.count, 100u);
  EXPECT_EQ(s.p50, 50u);
  EXPECT_EQ(s.p99, 99u);
  EXPECT_EQ(s.max, 100u);

  std::vector<uint32_t> few = {30, 10, 20};
  EXPECT_EQ(Percentile(few, 50), 20u);
  EXPECT_EQ(Percentile(few, 99), 30u);
  EXPECT_EQ(Percentile(few, 1), 10u);

  std::vector<uint32_t> one = {42};
  const LatencySummary single = Summarise(one);
  EXPECT_EQ(single.p50, 42u);
  EXPECT_EQ(single.p99, 42u);
  EXPECT_EQ(single.max, 42u);

  std::vector<uint32_t> none;
  const LatencySummary empty = Summarise(none);
  EXPECT_EQ(empty.count, 0u);
  EXPECT_EQ(empty.max, 0u);
}

TEST(RatePacer, SpreadsFramesAtTheRate) {
  RatePacer pacer(1000, 100);
  const RatePacer::Clock::time_point t0{milliseconds(5'000)};
  pacer.Start(t0);
  ASSERT_EQ(pacer.Available(t0), 1u);  // the first frame at once
  pacer.Take();
  EXPECT_EQ(pacer.Available(t0), 0u);
  EXPECT_EQ(pacer.UntilNext(), milliseconds(1));
  // Credit counts whole frames only: 10.5 ms at 1000 per second allow 10.
  const auto t1 = t0 + std::chrono::microseconds(10'500);
  EXPECT_EQ(pacer.Available(t1), 10u);
  for (int i = 0; i < 10; ++i) {
    pacer.Take();
  }
  EXPECT_EQ(pacer.Available(t1), 0u);
}

TEST(RatePacer, CreditLeftUnspentIsCapped) {
  RatePacer pacer(1000, 100);
  const RatePacer::Clock::time_point t0{};
  pacer.Start(t0);
  // A second in which nobody could send allows one tenth of it afterwards.
  EXPECT_EQ(pacer.Available(t0 + milliseconds(1'000)), 100u);
}

TEST(RatePacer, SlowRatesWaitForTheirTurn) {
  RatePacer pacer(2, 1);
  const RatePacer::Clock::time_point t0{};
  pacer.Start(t0);
  pacer.Take();
  EXPECT_EQ(pacer.Available(t0 + milliseconds(100)), 0u);
  EXPECT_NEAR(std::chrono::duration<double>(pacer.UntilNext()).count(), 0.4, 1e-6);
  EXPECT_EQ(pacer.Available(t0 + milliseconds(600)), 1u);
}

}  // namespace
}  // namespace talvero
