#include "protocol/crc8.hpp"

#include <gtest/gtest.h>

#include "support/bytes.hpp"

namespace talvero {
namespace {

using testing::Bytes;

// The bit-at-a-time rule, written out separately from the library's table.
uint8_t BitwiseCrc8(std::string_view bytes) {
  uint8_t crc = 0;
  for (const char c : bytes) {
    auto d = static_cast<uint8_t>(c);
    for (int i = 0; i < 8; ++i) {
      crc = ((crc ^ d) & 1) ? static_cast<uint8_t>(((crc ^ 0x18) >> 1) | 0x80)
                            : static_cast<uint8_t>(crc >> 1);
      d = static_cast<uint8_t>(d >> 1);
    }
  }
  return crc;
}

TEST(Crc8, KnownCheckValues) {
  EXPECT_EQ(Crc8("123456789"), 0xA1);
  EXPECT_EQ(Crc8(""), 0);
  // The 1-Wire ROM example of the Maxim application note on this CRC.
  EXPECT_EQ(Crc8(Bytes({0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00})), 0xA2);
}

TEST(Crc8, TableMatchesTheBitwiseRuleForEveryStateAndByte) {
  // Every two-byte string drives the table through every (crc, byte) pair.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string s = Bytes({a, b});
      ASSERT_EQ(Crc8(s), BitwiseCrc8(s)) << a << "," << b;
    }
  }
  std::string longer(300, '\0');
  for (size_t i = 0; i < longer.size(); ++i) {
    longer[i] = static_cast<char>(i * 37 + 11);
  }
  EXPECT_EQ(Crc8(longer), BitwiseCrc8(longer));
}

TEST(Crc8, AddCrc8AppendsTheChecksum) {
  EXPECT_EQ(AddCrc8("123456789"), std::string("123456789") + '\xA1');
  EXPECT_EQ(AddCrc8(""), std::string(1, '\0'));
}

TEST(Crc8, CheckCrc8NeedsTwoBytesAndAMatchingLastByte) {
  // Crc8 of nothing is 0, yet a lone zero byte is no frame.
  EXPECT_FALSE(CheckCrc8(""));
  EXPECT_FALSE(CheckCrc8(Bytes({0x00})));
  EXPECT_FALSE(CheckCrc8(Bytes({0xA1})));
  EXPECT_TRUE(CheckCrc8(AddCrc8(Bytes({0x05}))));
  EXPECT_TRUE(CheckCrc8(AddCrc8("123456789")));

  std::string frame = AddCrc8(std::string(299, '\x5A'));
  EXPECT_TRUE(CheckCrc8(frame));
  frame[100] ^= 0x01;
  EXPECT_FALSE(CheckCrc8(frame));
  frame[100] ^= 0x01;
  frame.back() ^= 0x80;
  EXPECT_FALSE(CheckCrc8(frame));
}

}  // namespace
}  // namespace talvero
