#include "base/date_time.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

TEST(DateTime, EncodesTheDayCountEpochAndYear2000) {
  EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0})->ms, 0);
  EXPECT_EQ(*EncodeDateTime({2000, 1, 1, 0, 0, 0, 0}), kYear2000);
  EXPECT_EQ(EncodeDateTime({2024, 3, 5, 14, 7, 9, 0})->ms,
            (45356LL * 86400 + 14 * 3600 + 7 * 60 + 9) * 1000);
}

TEST(DateTime, RefusesInvalidParts) {
  const DateTimeParts bad[] = {
      {2024, 13, 1, 0, 0, 0, 0}, {2023, 2, 29, 0, 0, 0, 0}, {2024, 4, 31, 0, 0, 0, 0},
      {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 60, 0},
      {0, 1, 1, 0, 0, 0, 0},     {2024, 0, 1, 0, 0, 0, 0},  {2024, 1, 0, 0, 0, 0, 0},
  };
  for (const auto& p : bad) {
    EXPECT_FALSE(EncodeDateTime(p)) << p.year << "-" << p.month << "-" << p.day;
  }
  EXPECT_TRUE(EncodeDateTime({2024, 2, 29, 23, 59, 59, 999}));
}

TEST(DateTime, DecodeIsTheInverseOfEncodeAlsoBeforeTheEpoch) {
  for (const DateTimeParts& p :
       {DateTimeParts{2024, 2, 29, 23, 59, 59, 999}, DateTimeParts{1899, 12, 29, 12, 0, 0, 0},
        DateTimeParts{1970, 1, 1, 0, 0, 0, 1}, DateTimeParts{2255, 12, 31, 1, 2, 3, 4}}) {
    const auto d = DecodeDateTime(*EncodeDateTime(p));
    EXPECT_EQ(std::tie(d.year, d.month, d.day, d.hour, d.minute, d.second, d.millisecond),
              std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond));
  }
}

}  // namespace
}  // namespace talvero
