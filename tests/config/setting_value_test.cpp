#include "config/setting_value.hpp"

#include <gtest/gtest.h>

#include <string>

namespace talvero {
namespace {

TEST(SettingText, OnlyPlainDecimalDigitsMakeAnInteger) {
  const struct {
    std::string text;
    int32_t n;
  } cases[] = {
      {"0", 0},           {"0012", 12},
      {"33665", 33665},   {"2147483647", 2147483647},
      {"2147483648", -1}, {"99999999999999999999999999", -1},
      {"+5", -1},         {"-5", -1},
      {"0x10", -1},       {"$10", -1},
      {"1 2", -1},        {"12a4", -1},
      {"", -1},           {std::string("1\0", 2), -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSettingInt(c.text), c.n) << c.text;
  }
}

}  // namespace
}  // namespace talvero
