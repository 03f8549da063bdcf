#include "protocol/unit_id.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/bytes.hpp"

namespace talvero {
namespace {

using testing::Bytes;

std::string FrameWithUnitBytes(std::string nibbles) {
  return Bytes({0x23, 0x00, 0x00, 0x01}) + nibbles + Bytes({0x00});
}

TEST(UnitId, UnitTextIsFourUpperCaseDigits) {
  EXPECT_EQ(UnitText(0), "0000");
  EXPECT_EQ(UnitText(10), "000A");
  EXPECT_EQ(UnitText(0x1A2B), "1A2B");
  EXPECT_EQ(UnitText(0xFFFF), "FFFF");
}

TEST(UnitId, NibbleToHexCharWrapsModulo256) {
  const std::pair<int, char> cases[] = {{0, '0'},      {9, '9'},    {10, 'A'},  {15, 'F'},
                                        {16, 'G'},     {42, 'a'},   {47, 'f'},  {48, 'g'},
                                        {200, '\xFF'}, {201, '\0'}, {249, '0'}, {255, '6'}};
  for (const auto& [nibble, ch] : cases) {
    EXPECT_EQ(NibbleToHexChar(static_cast<uint8_t>(nibble)), ch) << nibble;
  }
}

TEST(UnitId, HexCharToNibbleInvertsNibbleToHexChar) {
  for (uint8_t v = 0; v < 16; ++v) {
    EXPECT_EQ(HexCharToNibble(NibbleToHexChar(v)), v);
  }
  EXPECT_EQ(HexCharToNibble('G'), 255);
}

TEST(UnitId, ReadsTheUnitField) {
  struct Case {
    std::string nibbles;  // bytes 4..7
    uint16_t unitNr;
    const char* unitText;
  };
  const Case cases[] = {
      {Bytes({0x0B, 0x02, 0x0A, 0x01}), 0x1A2B, "1A2B"},
      {Bytes({0x0F, 0x0F, 0x0F, 0x0F}), 0xFFFF, "FFFF"},
      {Bytes({0x05, 0x00, 0x00, 0x00}), 0x0005, "0005"},
      {Bytes({0x00, 0x00, 0x00, 0x00}), 0x0000, "0000"},
      {Bytes({0x10, 0x00, 0x00, 0x00}), 0xFFFF, "FFFF"},  // 16 gives G
      {Bytes({0x00, 0x00, 0x00, 0x29}), 0xFFFF, "FFFF"},  // 41 gives a back quote
      {Bytes({0x00, 0x30, 0x00, 0x00}), 0xFFFF, "FFFF"},  // 48 gives g
      {Bytes({0xF8, 0x00, 0x00, 0x00}), 0xFFFF, "FFFF"},  // 248 gives a slash
      // 42..47 give a..f, 249..255 give 0..6: hexadecimal digits after all.
      {Bytes({0x2A, 0x00, 0x00, 0x00}), 0x000A, "000A"},
      {Bytes({0x00, 0x00, 0x00, 0x2F}), 0xF000, "F000"},
      {Bytes({0xF9, 0xFF, 0x00, 0x00}), 0x0060, "0060"},
  };
  for (const auto& c : cases) {
    const FrameUnit u = ReadUnitID(FrameWithUnitBytes(c.nibbles));
    EXPECT_EQ(u.UnitNr, c.unitNr) << c.unitText;
    EXPECT_EQ(u.UnitText, c.unitText);
  }
}

TEST(UnitId, ReadsFramesOfAnyLengthWithinTheirBytes) {
  for (const size_t size : {0, 1, 4, 7}) {
    const FrameUnit u = ReadUnitID(std::string(size, '\x01'));
    EXPECT_EQ(u.UnitNr, 0xFFFF) << size;
    EXPECT_EQ(u.UnitText, "FFFF");
  }
  EXPECT_EQ(ReadUnitID(Bytes({6, 0, 0, 1, 0x0B, 0x02, 0x0A, 0x01})).UnitNr, 0x1A2B);
  std::string big(300, '\x3C');
  big.replace(4, 4, Bytes({0x02, 0x01, 0x00, 0x00}));
  EXPECT_EQ(ReadUnitID(big).UnitText, "0012");
}

TEST(UnitId, UnitIDToNibblesClampsAndWritesLowestDigitFirst) {
  const std::pair<int64_t, std::string> cases[] = {
      {0, Bytes({0, 0, 0, 0})},
      {0x1A2B, Bytes({0x0B, 0x02, 0x0A, 0x01})},
      {65535, Bytes({0x0F, 0x0F, 0x0F, 0x0F})},
      {65536, Bytes({0x0F, 0x0F, 0x0F, 0x0F})},
      {-1, Bytes({0, 0, 0, 0})},
      {-70000, Bytes({0, 0, 0, 0})},
  };
  for (const auto& [unitNr, nibbles] : cases) {
    std::string frame(10, '\x77');
    UnitIDToNibbles(unitNr, frame, 4);
    EXPECT_EQ(frame, std::string(4, '\x77') + nibbles + std::string(2, '\x77')) << unitNr;
  }
}

TEST(UnitId, WrittenNumbersReadBackForEveryUnit) {
  std::string frame(9, '\0');
  for (int64_t n = 0; n <= 0xFFFF; ++n) {
    UnitIDToNibbles(n, frame, 4);
    ASSERT_EQ(ReadUnitID(frame).UnitNr, n);
  }
}

TEST(UnitId, UnitIDToNibblesRefusesADestinationWithoutRoom) {
  std::string frame(7, '\0');
  EXPECT_THROW(UnitIDToNibbles(1, frame, 4), std::out_of_range);
  EXPECT_THROW(UnitIDToNibbles(1, frame, 9), std::out_of_range);
  EXPECT_EQ(frame, std::string(7, '\0'));
  UnitIDToNibbles(0x1234, frame, 3);
  EXPECT_EQ(frame, Bytes({0, 0, 0, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace talvero
