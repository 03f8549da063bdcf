#include "protocol/time_bytes.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/bytes.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;
using testing::Bytes;

TEST(TimeBytes, WritesYearMonthDayHourMinuteSecond) {
  std::string frame(8, '\x55');
  PutTimeBytes(frame, 1, At(2024, 3, 5, 14, 7, 9, 999));
  EXPECT_EQ(frame, Bytes({0x55, 0x18, 0x03, 0x05, 0x0E, 0x07, 0x09, 0x55}));
}

TEST(TimeBytes, YearByteIsYearMinus2000For2000To2255) {
  std::string bytes(6, '\0');
  for (int year = 2000; year <= 2255; ++year) {
    PutTimeBytes(bytes, 0, At(year, 12, 31, 23, 59, 59));
    ASSERT_EQ(static_cast<uint8_t>(bytes[0]), year - 2000) << year;
    ASSERT_EQ(bytes.substr(1), Bytes({12, 31, 23, 59, 59}));
  }
}

TEST(TimeBytes, RefusesADestinationWithoutRoom) {
  std::string frame(9, '\0');
  EXPECT_THROW(PutTimeBytes(frame, 4, At(2024, 1, 1)), std::out_of_range);
  EXPECT_THROW(PutTimeBytes(frame, 20, At(2024, 1, 1)), std::out_of_range);
  EXPECT_EQ(frame, std::string(9, '\0'));
}

}  // namespace
}  // namespace talvero
