#include "protocol/cipher.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/crc8.hpp"
#include "protocol/unit_id.hpp"
#include "support/bytes.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::RecordingLogger;
using Kind = RecordingLogger::Kind;

std::string Keystream(CipherState state, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    out.push_back(static_cast<char>(NextKeystreamByte(state)));
  }
  return out;
}

std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    out[i] = static_cast<char>(i * 7 + 3);
  }
  return out;
}

TEST(Vmpc, MatchesThePublishedTestVector) {
  const std::vector<uint8_t> key = {0x96, 0x61, 0x41, 0x0A, 0xB7, 0x97, 0xD8, 0xA9,
                                    0xEB, 0x76, 0x7C, 0x21, 0x17, 0x2D, 0xF6, 0xC7};
  const std::vector<uint8_t> iv = {0x4B, 0x5C, 0x2F, 0x00, 0x3E, 0x67, 0xF3, 0x95,
                                   0x57, 0xA8, 0xD2, 0x6F, 0x3D, 0xA2, 0xB1, 0x55};
  const std::string stream = Keystream(VmpcKeySetup(key, iv), 102400);
  const std::pair<size_t, int> expected[] = {
      {0, 0xA8},      {1, 0x24},      {2, 0x79},      {3, 0xF5},     {252, 0xB8},  {253, 0xFC},
      {254, 0x66},    {255, 0xA4},    {1020, 0xE0},   {1021, 0x56},  {1022, 0x40}, {1023, 0xA5},
      {102396, 0x81}, {102397, 0xCA}, {102398, 0x49}, {102399, 0x9A}};
  for (const auto& [index, value] : expected) {
    EXPECT_EQ(static_cast<uint8_t>(stream[index]), value) << index;
  }
}

TEST(Cipher, KeyBytesComeFromTheKeyTextReadAsHexadecimalPairs) {
  struct Case {
    const char* keyText;
    uint8_t k0, k1;
  };
  const Case cases[] = {
      {"9873", 0x98, 0x73}, {"0000", 0x00, 0x00},  {"123", 0x01, 0x23},   {"7", 0x00, 0x07},
      {"", 0x00, 0x00},     {"12345", 0x12, 0x34}, {"98731", 0x98, 0x73}, {"abCD", 0xAB, 0xCD},
  };
  const std::string zeros(23, '\0');
  for (const auto& c : cases) {
    RecordingLogger log;
    EXPECT_EQ(Encryption(zeros, 0x00, 0x05, c.keyText, log),
              Keystream(CipherKeySetup(c.k0, c.k1, 0x00, 0x05), zeros.size()))
        << c.keyText;
    EXPECT_TRUE(log.entries.empty());
  }
}

TEST(Cipher, AppliedTwiceGivesBackTheData) {
  RecordingLogger log;
  for (const size_t size : {0, 1, 23, 257}) {
    const std::string plain = Pattern(size);
    const std::string cipher = Encryption(plain, 0x12, 0x34, "9873", log);
    ASSERT_EQ(cipher.size(), size);
    if (size > 1) {
      EXPECT_NE(cipher, plain);
    }
    EXPECT_EQ(Encryption(cipher, 0x12, 0x34, "9873", log), plain) << size;
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST(Cipher, SameFrameIDAndKeyGiveTheSameKeystreamWhateverCameBefore) {
  RecordingLogger log;
  const std::string data = Pattern(23);
  const std::string first = Encryption(data, 0x00, 0x05, "9873", log);
  Encryption(Pattern(100), 0xAB, 0xCD, "1111", log);
  EXPECT_EQ(Encryption(data, 0x00, 0x05, "9873", log), first);
}

TEST(Cipher, KeystreamChangesWithTheFrameIDAndTheKey) {
  RecordingLogger log;
  const std::string zeros(23, '\0');
  const std::string base = Encryption(zeros, 0x00, 0x05, "9873", log);
  EXPECT_NE(Encryption(zeros, 0x00, 0x06, "9873", log), base);
  EXPECT_NE(Encryption(zeros, 0x05, 0x00, "9873", log), base);
  EXPECT_NE(Encryption(zeros, 0x01, 0x05, "9873", log), base);
  EXPECT_NE(Encryption(zeros, 0x00, 0x05, "9874", log), base);
  EXPECT_NE(Encryption(zeros, 0x00, 0x05, "7398", log), base);
  // A short key text is padded in front, a long one cut after four characters.
  EXPECT_EQ(Encryption(zeros, 0x00, 0x05, "873", log), Encryption(zeros, 0, 5, "0873", log));
  EXPECT_NE(Encryption(zeros, 0x00, 0x05, "873", log), Encryption(zeros, 0, 5, "8730", log));
  EXPECT_EQ(Encryption(zeros, 0x00, 0x05, "98735", log), base);
  EXPECT_NE(Encryption(zeros, 0x00, 0x05, "98735", log), Encryption(zeros, 0, 5, "8735", log));
  EXPECT_TRUE(log.entries.empty());
}

TEST(Cipher, AKeyPairThatIsNoHexadecimalNumberIsReportedAndGivesNothing) {
  for (const char* keyText : {"12G4", "G", "-123", "12 4", "1.5", "zz00", "00zz"}) {
    RecordingLogger log;
    EXPECT_EQ(Encryption(Pattern(23), 0x00, 0x05, keyText, log), "") << keyText;
    EXPECT_EQ(log.ErrNames(), std::vector<std::string>{"Encryption"}) << keyText;
    EXPECT_EQ(log.entries.size(), 1u);
  }
}

TEST(Cipher, DataBeyondTheWorkingSpaceIsReportedAndGivesNothing) {
  for (const size_t size : {258, 300}) {
    RecordingLogger log;
    EXPECT_EQ(Encryption(Pattern(size), 0x00, 0x05, "9873", log), "") << size;
    EXPECT_EQ(log.ErrNames(), std::vector<std::string>{"Encryption"});
  }
}

TEST(Cipher, EncryptedAlarmEventDecryptsItsTwentyThreeCoveredBytes) {
  // Plain event of unit 0012, account 1234, new event 130 in group 01, zone 005.
  const std::string plain =
      Bytes({0x06, 0x01, 0x01, 0x02, 0x02, 0x01, 0x00, 0x00, 0x18, 0x03, 0x05, 0x0E, 0x07, 0x09}) +
      "12341130" + "01" + "005";
  ASSERT_EQ(plain.size(), 27u);
  RecordingLogger log;
  const std::string sent =
      AddCrc8(plain.substr(0, 4) + Encryption(plain.substr(4), 0x01, 0x02, "9873", log));
  ASSERT_EQ(sent.size(), 28u);
  ASSERT_TRUE(CheckCrc8(sent));

  const std::string_view covered = std::string_view(sent).substr(4, sent.size() - 5);
  ASSERT_EQ(covered.size(), 23u);
  const std::string decrypted =
      sent.substr(0, 4) + Encryption(covered, static_cast<uint8_t>(sent[2]),
                                     static_cast<uint8_t>(sent[3]), "9873", log);
  EXPECT_EQ(decrypted, plain);
  EXPECT_EQ(ReadUnitID(decrypted).UnitText, "0012");
  EXPECT_TRUE(log.entries.empty());
}

}  // namespace
}  // namespace talvero
