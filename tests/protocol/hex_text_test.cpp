#include "protocol/hex_text.hpp"

#include <gtest/gtest.h>

#include "support/bytes.hpp"

namespace talvero {
namespace {

using testing::Bytes;

TEST(HexText, StrToHexTextIsUpperCaseHighDigitFirst) {
  EXPECT_EQ(StrToHexText(Bytes({0x00, 0x1F, 0xA0})), "001FA0");
  EXPECT_EQ(StrToHexText(""), "");
  EXPECT_EQ(StrToHexText(Bytes({0xFF, 0x0A, 0xB0})), "FF0AB0");
}

TEST(HexText, HexDigitValueOfEveryCharacter) {
  for (int c = 0; c < 256; ++c) {
    int expected = 255;
    if (c >= '0' && c <= '9') {
      expected = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      expected = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      expected = c - 'a' + 10;
    }
    EXPECT_EQ(HexDigitValue(static_cast<char>(c)), expected) << c;
  }
}

TEST(HexText, HexTextToBytesCases) {
  struct Case {
    std::string text;
    std::string bytes;
    bool error;
  };
  const Case cases[] = {
      {"0x123", Bytes({0x01, 0x23}), false},
      {"ABC", Bytes({0x0A, 0xBC}), false},
      {"0x", "", false},
      {"", "", false},
      {"7", Bytes({0x07}), false},
      {"0x0101", Bytes({0x01, 0x01}), false},
      {"abCD", Bytes({0xAB, 0xCD}), false},
      {"0x00ff", Bytes({0x00, 0xFF}), false},
      {"1G", "", true},
      {"0x12G", "", true},
      {"G12", "", true},
      {"0X12", "", true},  // only a lower-case x marks the prefix
      {"0x0x12", "", true},
      {"12 34", "", true},
      {"-1", "", true},
  };
  for (const auto& c : cases) {
    const HexBytes r = HexTextToBytes(c.text);
    EXPECT_EQ(r.Error, c.error) << c.text;
    EXPECT_EQ(r.Bytes, c.bytes) << c.text;
  }
}

TEST(HexText, HexTextToBytesTakesLongTextsAndRoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  const HexBytes r = HexTextToBytes("0x" + StrToHexText(all));
  EXPECT_FALSE(r.Error);
  EXPECT_EQ(r.Bytes, all);

  const HexBytes odd = HexTextToBytes(std::string(301, 'f'));
  EXPECT_FALSE(odd.Error);
  ASSERT_EQ(odd.Bytes.size(), 151u);
  EXPECT_EQ(odd.Bytes.front(), '\x0F');
  EXPECT_EQ(odd.Bytes.back(), '\xFF');
}

TEST(HexText, IsValidHex4TextCases) {
  for (const char* text : {"00ab", "FFFF", "0000", "1a2B"}) {
    EXPECT_TRUE(IsValidHex4Text(text)) << text;
  }
  for (const char* text : {"", "123", "12345", "12G4", "-123", " 123", "0x12"}) {
    EXPECT_FALSE(IsValidHex4Text(text)) << text;
  }
}

}  // namespace
}  // namespace talvero
