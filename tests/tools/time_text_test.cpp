#include "common/time_text.hpp"

#include <gtest/gtest.h>

#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;

TEST(TimeText, MomentsToTheMillisecond) {
  EXPECT_EQ(MomentText(At(2024, 3, 5, 14, 7, 9, 42)), "2024-03-05 14:07:09.042");
}

TEST(TimeText, DateTimeTextsAreReadStrictly) {
  EXPECT_EQ(ParseDateTimeText("2024-03-05 14:07:09"), At(2024, 3, 5, 14, 7, 9));
  EXPECT_EQ(ParseDateTimeText("2024-02-29 00:00:00"), At(2024, 2, 29));
  for (const char* bad :
       {"", "2024-03-05", "2024-03-05 14:07", "2024-03-05 14:07:09 ", "2023-02-29 00:00:00",
        "2024-13-01 00:00:00", "2024-03-05 24:00:00", "2024/03/05 14:07:09", "2024-03-05T14:07:09",
        "20a4-03-05 14:07:09", "+024-03-05 14:07:09"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(ParseDateTimeText(bad), std::nullopt);
  }
}

}  // namespace
}  // namespace talvero
