#include "station_sim/wire_time.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

TEST(WireTime, TenBitsPerByte) {
  // A 20-character line and its DC4 at 9600 baud: 210 bits.
  EXPECT_EQ(WireTime(21, 9600), microseconds(21'875));
  EXPECT_EQ(WireTime(1, 9600), microseconds(1'042));  // 1041.67, rounded up
  EXPECT_EQ(WireTime(96, 9600), milliseconds(100));
  EXPECT_EQ(WireTime(12, 115200), microseconds(1'042));
  EXPECT_EQ(WireTime(0, 9600), microseconds(0));
}

TEST(WireClock, LinesThatArriveTogetherFollowEachOther) {
  WireClock wire(9600);
  const WireClock::TimePoint t0{milliseconds(1'000)};
  EXPECT_EQ(wire.LineDone(t0, 21), t0 + microseconds(21'875));
  EXPECT_EQ(wire.LineDone(t0, 21), t0 + microseconds(43'750));
  // A line after the wire went quiet takes its own time from its arrival.
  const WireClock::TimePoint later = t0 + milliseconds(500);
  EXPECT_EQ(wire.LineDone(later, 96), later + milliseconds(100));
}

}  // namespace
}  // namespace talvero
