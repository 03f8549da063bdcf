#include "engine/ip_number.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

TEST(IPTextToNumber, TakesFourPartsAndTheLowEightBitsOfEach) {
  struct Case {
    const char* text;
    uint32_t number;
  };
  const Case cases[] = {
      {"192.168.1.20", 0xC0A80114},
      {"300.1.1.1", 0x2C010101},  // only the low 8 bits of 300
      {"7", 0x07000000},          // no dot: the whole text is the first part
      {"0.0.0.0", 0},
      {"255.255.255.255", 0xFFFFFFFF},
      {"1.2.3", 0x01020300},      // the fourth part is empty
      {"1.2.3.4.5", 0x01020300},  // "4.5" is no number
      {"a.b.c.d", 0},
      {"10..0.5", 0x0A000005},
      {"-1.0.0.1", 0xFF000001},           // low 8 bits of -1
      {"+5.0.0.0", 0x05000000},           // a sign is part of a decimal number
      {"+-5.0.0.0", 0},                   // two signs are not
      {"99999999999.1.1.1", 0x00010101},  // beyond 32 bits: no number
      {" 1.2.3.4", 0x00020304},
      {"", 0},
      {"...", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IPTextToNumber(c.text), c.number) << '"' << c.text << '"';
  }
}

TEST(IPNumberToText, WritesTheBytesMostSignificantFirst) {
  EXPECT_EQ(IPNumberToText(0xC0A80114), "192.168.1.20");
  EXPECT_EQ(IPNumberToText(0), "0.0.0.0");
  EXPECT_EQ(IPNumberToText(0xFFFFFFFF), "255.255.255.255");
  EXPECT_EQ(IPTextToNumber(IPNumberToText(0x0A000105)), 0x0A000105u);
}

}  // namespace
}  // namespace talvero
