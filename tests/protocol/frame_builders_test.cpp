#include "protocol/frame_builders.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/seal_frame.hpp"
#include "support/bytes.hpp"
#include "support/frame_time.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::kNow;
using testing::kNowBytes;
using testing::RecordingLogger;

std::string WithCrc(const std::string& body) {
  return body + static_cast<char>(Crc8(body));
}

TEST(Acknowledgement, AckCopiesTheHeaderOfTheAnsweredFrame) {
  const std::string frame =
      Bytes({0x06, 0x00, 0x12, 0x34, 0x05, 0x00, 0x00, 0x00}) + std::string(19, '\x31') + "\x7E";
  const std::string ack = Ack(frame, kNow);
  EXPECT_EQ(ack, WithCrc(Bytes({0x01, 0x00, 0x12, 0x34, 0x05, 0x00, 0x00, 0x00}) + kNowBytes));
  EXPECT_EQ(ack.size(), 15u);
}

TEST(Acknowledgement, AnswerToADecryptedFrameIsPlain) {
  const std::string decrypted = Bytes({0x23, 0x01, 0xAB, 0xCD, 0x0B, 0x02, 0x0A, 0x01});
  EXPECT_EQ(Ack(decrypted, kNow),
            WithCrc(Bytes({0x01, 0x00, 0xAB, 0xCD, 0x0B, 0x02, 0x0A, 0x01}) + kNowBytes));
  EXPECT_EQ(Nack(decrypted, kNow),
            WithCrc(Bytes({0x02, 0x00, 0xAB, 0xCD, 0x0B, 0x02, 0x0A, 0x01}) + kNowBytes));
}

TEST(Acknowledgement, NackOfAFrameShorterThanItsHeaderCarriesZeros) {
  const std::string zeros =
      WithCrc(Bytes({0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}) + kNowBytes);
  EXPECT_EQ(Nack("", kNow), zeros);
  EXPECT_EQ(Nack(Bytes({0x06}), kNow), zeros);
  EXPECT_EQ(Nack(Bytes({0x06, 0x01, 0x12, 0x34, 0x05}), kNow), zeros);
  EXPECT_EQ(Nack(Bytes({0x06, 0x01, 0x12, 0x34, 0x05, 0x06, 0x07}), kNow), zeros);
}

TEST(Acknowledgement, NackOfLongerFramesEchoesBytesTwoToSeven) {
  const std::string header = Bytes({0x09, 0x07, 0x12, 0x34, 0x05, 0x06, 0x07, 0x08});
  const std::string expected =
      WithCrc(Bytes({0x02, 0x00, 0x12, 0x34, 0x05, 0x06, 0x07, 0x08}) + kNowBytes);
  EXPECT_EQ(Nack(header, kNow), expected);
  EXPECT_EQ(Nack(header + std::string(292, '\xEE'), kNow), expected);
}

TEST(NewTimeAnswer, PlainAnswerKeepsTheRequestsFrameID) {
  const std::string request = WithCrc(Bytes({0x0A, 0x00, 0x00, 0x05, 0x02, 0x01, 0x00, 0x00}));
  const std::string body = NewTime(request, kNow);
  EXPECT_EQ(body, Bytes({0x0B, 0x00, 0x00, 0x05}) + kNowBytes);

  RecordingLogger log;
  uint16_t frameID = 5;
  EXPECT_EQ(SealFrame(body, 0, frameID, "9873", log), WithCrc(body));
  EXPECT_EQ(frameID, 5);
  EXPECT_TRUE(log.entries.empty());
}

TEST(NewTimeAnswer, EncryptedAnswerTakesTheUnitsNextFrameID) {
  struct Case {
    uint16_t lastFrameID;
    uint8_t iv0, iv1;
  };
  for (const Case c : {Case{0x0005, 0x00, 0x06}, Case{0xFFFF, 0x00, 0x00}}) {
    // The request as decrypted: header without checksum.
    const std::string request =
        Bytes({0x0A, 0x01, c.lastFrameID >> 8, c.lastFrameID & 0xFF, 0x02, 0x01, 0x00, 0x00});
    RecordingLogger log;
    uint16_t frameID = c.lastFrameID;
    const std::string sent = SealFrame(NewTime(request, kNow), 1, frameID, "9873", log);

    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent.substr(0, 4), Bytes({0x0B, 0x01, c.iv0, c.iv1}));
    EXPECT_EQ(frameID, (c.iv0 << 8) | c.iv1);
    EXPECT_TRUE(CheckCrc8(sent));
    EXPECT_NE(sent.substr(4, 6), kNowBytes);
    EXPECT_EQ(Encryption(sent.substr(4, 6), c.iv0, c.iv1, "9873", log), kNowBytes);
    EXPECT_TRUE(log.entries.empty());
  }
}

TEST(NewUnitNrAnswer, CarriesTheImeiAndTheNewNumber) {
  const std::string request =
      WithCrc(Bytes({0x20, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00}) + "356938035643809");
  ASSERT_EQ(request.size(), 24u);
  EXPECT_EQ(NewUnitNr(request, 0x1A2B),
            Bytes({0x21, 0x00, 0x01, 0x02}) + "356938035643809" + Bytes({0x0B, 0x02, 0x0A, 0x01}));
  EXPECT_EQ(NewUnitNr(request, 0x0003).substr(19), Bytes({0x03, 0x00, 0x00, 0x00}));

  RecordingLogger log;
  uint16_t frameID = 0x0102;
  const std::string sent = SealFrame(NewUnitNr(request, 0xFFFF), 0, frameID, "9873", log);
  EXPECT_EQ(sent.size(), 24u);
  EXPECT_TRUE(CheckCrc8(sent));
}

TEST(PlainAnswers, RefuseRequestsTooShortToAnswer) {
  EXPECT_THROW(NewTime(Bytes({0x0A, 0x00, 0x00}), kNow), std::length_error);
  EXPECT_NO_THROW(NewTime(Bytes({0x0A, 0x00, 0x00, 0x05}), kNow));
  EXPECT_THROW(NewUnitNr(std::string(22, '\x20'), 1), std::length_error);
  EXPECT_THROW(NewUnitNr("", 1), std::length_error);
}

TEST(SealFrame, EncryptedCommandCountsOnWithTheHighByteFirst) {
  // "Do Close3" to unit 0012 before encryption and checksum.
  const std::string command = Bytes({0x27, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x01, 0x02});
  RecordingLogger log;
  uint16_t frameID = 0x00FF;
  const std::string sent = SealFrame(command, 1, frameID, "9873", log);
  ASSERT_EQ(sent.size(), 11u);
  EXPECT_EQ(sent.substr(0, 4), Bytes({0x27, 0x01, 0x01, 0x00}));
  EXPECT_EQ(frameID, 0x0100);
  EXPECT_TRUE(CheckCrc8(sent));
  EXPECT_EQ(Encryption(sent.substr(4, 6), 0x01, 0x00, "9873", log), command.substr(4));
}

TEST(SealFrame, FailedEncryptionGivesNothingAndKeepsTheCounter) {
  struct Case {
    size_t payload;
    const char* keyText;
  };
  for (const Case c : {Case{10, "12G4"}, Case{254, "9873"}}) {
    const std::string command =
        Bytes({0x2D, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00}) + std::string(c.payload, '\x41');
    RecordingLogger log;
    uint16_t frameID = 7;
    EXPECT_EQ(SealFrame(command, 1, frameID, c.keyText, log), "") << c.payload;
    EXPECT_EQ(frameID, 7);
    EXPECT_EQ(log.ErrNames(), std::vector<std::string>{"Encryption"});
  }
}

TEST(SealFrame, CoversUpToTheWholeWorkingSpace) {
  // 4 header bytes of the unit field and 253 payload bytes fill the 257 bytes.
  const std::string command =
      Bytes({0x2D, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00}) + std::string(253, '\x41');
  RecordingLogger log;
  uint16_t frameID = 7;
  const std::string sent = SealFrame(command, 1, frameID, "9873", log);
  EXPECT_EQ(sent.size(), command.size() + 1);
  EXPECT_TRUE(CheckCrc8(sent));
  EXPECT_EQ(frameID, 8);
  EXPECT_TRUE(log.entries.empty());
  // A plain frame has no working space to respect.
  EXPECT_EQ(SealFrame(command + "BB", 0, frameID, "9873", log).size(), command.size() + 3);
}

TEST(SealFrame, EncryptedFrameNeedsItsHeaderBytes) {
  RecordingLogger log;
  uint16_t frameID = 1;
  EXPECT_THROW(SealFrame(Bytes({0x0B, 0x00, 0x00}), 1, frameID, "9873", log), std::length_error);
  EXPECT_EQ(frameID, 1);
}

}  // namespace
}  // namespace talvero
