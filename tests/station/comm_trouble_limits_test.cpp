#include "station/comm_trouble_limits.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace talvero {
namespace {

TEST(CommTrLimits, StartUpGivesEveryUnitTheDefaults) {
  Settings settings;
  settings.CommTrouble2 = 0;
  std::vector<CommTrLimit> limits(kUnitCount, CommTrLimit{1, 2, 3});
  InitCommTrLimits(limits, settings);
  ASSERT_EQ(limits.size(), kUnitCount);
  for (const CommTrLimit& limit : {limits.front(), limits[0x1234], limits.back()}) {
    EXPECT_EQ(limit, (CommTrLimit{15, 0, 240}));
  }
}

TEST(CommTrLimits, AValidDefaultMovesOnlyTheUnitsAtTheOldDefault) {
  struct Case {
    int level;
    int64_t value;
    CommTrLimit moved;  // the unit that carried the old defaults
  };
  const Case cases[] = {
      {1, 20, {20, 60, 240}},
      {2, 0, {15, 0, 240}},
      {3, 9999, {15, 60, 9999}},
  };
  for (const Case& c : cases) {
    Settings settings;
    std::vector<CommTrLimit> limits(3, CommTrDefaults(settings));
    limits[1] = {30, 61, 241};  // edited in the Test Time Monitor
    EXPECT_TRUE(ChangeCommTrDefault(settings, limits, c.level, c.value));
    EXPECT_EQ(CommTrDefaults(settings), c.moved) << c.value;
    EXPECT_EQ(limits[0], c.moved) << c.value;
    EXPECT_EQ(limits[1], (CommTrLimit{30, 61, 241})) << c.value;
    EXPECT_EQ(limits[2], c.moved) << c.value;
  }
}

TEST(CommTrLimits, AnInvalidDefaultBringsTheBuiltInValueAndMovesNoUnit) {
  struct Case {
    int level;
    int64_t value;
  };
  const Case cases[] = {{1, -1}, {2, 10000}, {3, -5}};
  for (const Case& c : cases) {
    Settings settings;
    settings.CommTrouble1 = settings.CommTrouble2 = settings.CommTrouble3 = 20;
    const std::vector<CommTrLimit> before{{20, 20, 20}, {30, 30, 30}};
    std::vector<CommTrLimit> limits = before;
    EXPECT_FALSE(ChangeCommTrDefault(settings, limits, c.level, c.value));
    CommTrLimit expected{20, 20, 20};
    expected[static_cast<size_t>(c.level - 1)] =
        kBuiltInCommTrDefaults[static_cast<size_t>(c.level - 1)];
    EXPECT_EQ(CommTrDefaults(settings), expected) << c.level;
    EXPECT_EQ(limits, before) << c.level;
  }
}

}  // namespace
}  // namespace talvero
