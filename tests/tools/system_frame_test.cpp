#include "common/system_frame.hpp"

#include <gtest/gtest.h>

#include "protocol/crc8.hpp"
#include "protocol/frame_builders.hpp"
#include "protocol/seal_frame.hpp"
#include "support/bytes.hpp"
#include "support/decrypted.hpp"
#include "support/frame_time.hpp"
#include "support/recording_logger.hpp"
#include "support/virtual_time.hpp"
#include "unit_sim/unit_frames.hpp"

namespace talvero {
namespace {

using testing::At;
using testing::Bytes;
using testing::Decrypted;
using testing::kNow;
using testing::RecordingLogger;

const std::optional<std::string> kKey = "9873";

class SystemFrameTest : public ::testing::Test {
 protected:
  std::string UnitFrame(UnitFrameKind kind, uint16_t unitNr, uint16_t frameID, bool encrypted) {
    return BuildUnitFrame(kind, UnitFrameFields{},
                          FrameSeal{unitNr, frameID, encrypted ? kKey : std::nullopt}, kNow, log);
  }
  // The receiver's view of a frame: decrypted, without its checksum.
  std::string Received(const std::string& frame) {
    return frame[1] == 0 ? frame : Decrypted(frame, *kKey);
  }
  SystemFrame Decode(const std::string& bytes, std::optional<std::string> key = kKey) {
    return DecodeSystemFrame(bytes, key, log);
  }

  RecordingLogger log;
};

TEST_F(SystemFrameTest, AckAndNackNameTheUnitFrameIDAndTime) {
  for (const bool encrypted : {false, true}) {
    SCOPED_TRACE(encrypted);
    const std::string request = Received(UnitFrame(UnitFrameKind::Ping, 0x1A2B, 77, encrypted));
    const SystemFrame ack = Decode(Ack(request, kNow));
    ASSERT_TRUE(ack.Ok());
    EXPECT_EQ(ack.name, "Ack");
    EXPECT_FALSE(ack.IsNack());
    EXPECT_EQ(ack.unitNr, 0x1A2B);
    EXPECT_EQ(ack.frameID, 77);
    EXPECT_EQ(ack.time, kNow);

    const SystemFrame nack = Decode(Nack(request, kNow));
    ASSERT_TRUE(nack.Ok());
    EXPECT_EQ(nack.name, "Nack");
    EXPECT_TRUE(nack.IsNack());
    EXPECT_EQ(nack.unitNr, 0x1A2B);
    EXPECT_TRUE(AnswersFrame(ack, 0x1A2B, 77));
    EXPECT_TRUE(AnswersFrame(nack, 0x1A2B, 77));
  }
}

TEST_F(SystemFrameTest, NewTimeAndNewUnitNrPlainAndEncrypted) {
  for (const uint8_t encrByUnit : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(encrByUnit));
    const bool encrypted = encrByUnit == 1;
    uint16_t counter = 5;
    const std::string timeRequest =
        Received(UnitFrame(UnitFrameKind::SetTimeRequest, 3, 5, encrypted));
    const SystemFrame newTime =
        Decode(SealFrame(NewTime(timeRequest, kNow), encrByUnit, counter, *kKey, log));
    ASSERT_TRUE(newTime.Ok()) << CheckText(newTime.check);
    EXPECT_EQ(newTime.name, "NewTime");
    EXPECT_EQ(newTime.marker, encrByUnit);
    EXPECT_EQ(newTime.frameID, encrypted ? 6 : 5);
    EXPECT_EQ(newTime.time, kNow);
    EXPECT_FALSE(newTime.unitNr.has_value());
    EXPECT_TRUE(AnswersFrame(newTime, 3, 5));
    EXPECT_FALSE(AnswersFrame(newTime, 3, encrypted ? 6 : 4));

    counter = 9;
    const std::string unitRequest =
        Received(UnitFrame(UnitFrameKind::ChangeUnitNrRequest, 3, 9, encrypted));
    const SystemFrame newUnit =
        Decode(SealFrame(NewUnitNr(unitRequest, 0xBEEF), encrByUnit, counter, *kKey, log));
    ASSERT_TRUE(newUnit.Ok()) << CheckText(newUnit.check);
    EXPECT_EQ(newUnit.name, "NewUnitNr");
    EXPECT_EQ(newUnit.imei, UnitFrameFields{}.imei);
    EXPECT_EQ(newUnit.newUnitNr, 0xBEEF);
    EXPECT_EQ(newUnit.frameID, encrypted ? 10 : 9);
    EXPECT_TRUE(AnswersFrame(newUnit, 3, 9));
  }
}

TEST_F(SystemFrameTest, AnEncryptedAnswerWithoutAKeyIsNotRead) {
  uint16_t counter = 5;
  const std::string request = Received(UnitFrame(UnitFrameKind::SetTimeRequest, 3, 5, true));
  const SystemFrame answer =
      Decode(SealFrame(NewTime(request, kNow), 1, counter, *kKey, log), std::nullopt);
  EXPECT_EQ(answer.check, FrameCheck::NoKey);
  EXPECT_EQ(answer.frameID, 6);
  EXPECT_FALSE(answer.time.has_value());
}

TEST_F(SystemFrameTest, FaultyFramesAreNamedForTheirFault) {
  const std::string ack = Ack(UnitFrame(UnitFrameKind::Ping, 1, 1, false), kNow);
  std::string badCrc = ack;
  badCrc.back() = static_cast<char>(badCrc.back() ^ 1);
  std::string marker2 = ack.substr(0, 14);
  marker2[1] = 2;
  struct Case {
    std::string name;
    std::string bytes;
    FrameCheck check;
  } cases[] = {
      {"empty", "", FrameCheck::TooShort},
      {"eight bytes", ack.substr(0, 8), FrameCheck::TooShort},
      {"bad checksum", badCrc, FrameCheck::BadCrc},
      {"Ack one byte short", AddCrc8(ack.substr(0, 13)), FrameCheck::WrongLength},
      {"Ack one byte long", AddCrc8(ack.substr(0, 14) + "x"), FrameCheck::WrongLength},
      {"marker 2", AddCrc8(marker2), FrameCheck::BadMarker},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SystemFrame frame = Decode(c.bytes);
    EXPECT_EQ(frame.check, c.check);
    EXPECT_EQ(frame.bytes, c.bytes);
    EXPECT_FALSE(AnswersFrame(frame, 1, 1));
  }
}

TEST_F(SystemFrameTest, TimeBytesThatAreNoDateAreKeptRaw) {
  std::string ack = Ack(UnitFrame(UnitFrameKind::Ping, 1, 1, false), kNow).substr(0, 14);
  ack[9] = 13;  // month 13
  const SystemFrame frame = Decode(AddCrc8(ack));
  ASSERT_TRUE(frame.Ok());
  EXPECT_FALSE(frame.time.has_value());
  EXPECT_EQ(frame.timeBytes, ack.substr(8, 6));
}

TEST_F(SystemFrameTest, CommandsAreNamed) {
  struct Case {
    std::string body;  // before the checksum
    std::string name;
  } cases[] = {
      {Bytes({0x24, 0, 0, 0, 3, 0, 0, 0}), "Get Ping"},
      {Bytes({0x2C, 0, 0, 0, 3, 0, 0, 0}), "Get Automatic Test"},
      {Bytes({0x25, 0, 0, 0, 3, 0, 0, 0}), "Get GSM Level"},
      {Bytes({0x29, 0, 0, 0, 3, 0, 0, 0}), "Reset Device"},
      {Bytes({0x26, 0, 0, 0, 3, 0, 0, 0}), "Clear Storage"},
      {Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 1, 2}), "Do Close3"},
      {Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 0, 0}), "Do Open1"},
      {Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 0, 7}), "Do Open/Close (bytes 00 07)"},
      {Bytes({0x2D, 0, 0, 0, 3, 0, 0, 0, 1, 1}), "custom command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SystemFrame frame = Decode(AddCrc8(c.body));
    ASSERT_TRUE(frame.Ok()) << CheckText(frame.check);
    EXPECT_EQ(frame.name, c.name);
    EXPECT_TRUE(frame.unitNr.has_value());
  }
  const SystemFrame doClose = Decode(AddCrc8(cases[5].body));
  EXPECT_EQ(doClose.unitNr, 0x0012);

  std::string setTime = Bytes({0x2A, 0, 0, 0, 3, 0, 0, 0});
  setTime += Ack("", kNow).substr(8, 6);
  EXPECT_EQ(Decode(AddCrc8(setTime)).time, kNow);

  const std::string changeUnitID =
      Bytes({0x2B, 0, 0, 0, 3, 0, 0, 0}) + "351234567890123" + Bytes({0x0B, 0x02, 0x0A, 0x01});
  const SystemFrame change = Decode(AddCrc8(changeUnitID));
  EXPECT_EQ(change.name, "Change UnitID");
  EXPECT_EQ(change.imei, "351234567890123");
  EXPECT_EQ(change.newUnitNr, 0x1A2B);
}

TEST_F(SystemFrameTest, AnUnreadableNewUnitNumberIsNoNumber) {
  std::string body = Bytes({33, 0, 0, 1}) + "351234567890123" + Bytes({0x10, 0, 0, 0});
  const SystemFrame frame = Decode(AddCrc8(body));
  ASSERT_TRUE(frame.Ok());
  EXPECT_FALSE(frame.newUnitNr.has_value());
  body.replace(19, 4, Bytes({0x0F, 0x0F, 0x0F, 0x0F}));
  EXPECT_EQ(Decode(AddCrc8(body)).newUnitNr, 0xFFFF);
}

TEST_F(SystemFrameTest, AnswersBelongToTheirFrameOnly) {
  const std::string request = UnitFrame(UnitFrameKind::Ping, 0x0010, 500, false);
  const SystemFrame ack = Decode(Ack(request, kNow));
  EXPECT_TRUE(AnswersFrame(ack, 0x0010, 500));
  EXPECT_FALSE(AnswersFrame(ack, 0x0010, 499));
  EXPECT_FALSE(AnswersFrame(ack, 0x0011, 500));
  // A Nack for a frame refused before decryption echoes encrypted UnitID bytes.
  const std::string encrypted = UnitFrame(UnitFrameKind::Ping, 0x0010, 500, true);
  EXPECT_TRUE(AnswersFrame(Decode(Nack(encrypted, kNow)), 0x0010, 500));
  const SystemFrame command = Decode(AddCrc8(Bytes({0x24, 0, 0x01, 0xF4, 0, 1, 0, 0})));
  EXPECT_FALSE(AnswersFrame(command, 0x0010, 500));
}

TEST(TakeFrame, CutsTheStreamByTheLengthOfEachType) {
  RecordingLogger log;
  const std::string ack = Ack(Bytes({35, 0, 0, 1, 1, 0, 0, 0, 0}), At(2024, 1, 1));
  std::string stream = ack + ack.substr(0, 10);
  EXPECT_EQ(TakeFrame(stream), ack);
  EXPECT_EQ(TakeFrame(stream), std::nullopt);  // the rest of the second is still to come
  stream += ack.substr(10);
  EXPECT_EQ(TakeFrame(stream), ack);
  EXPECT_EQ(TakeFrame(stream), std::nullopt);
  EXPECT_TRUE(stream.empty());

  // A type without a fixed length takes everything waiting.
  stream = Bytes({0x2D, 0, 0, 0, 1, 2, 3}) + ack;
  EXPECT_EQ(TakeFrame(stream), Bytes({0x2D, 0, 0, 0, 1, 2, 3}) + ack);
  EXPECT_TRUE(stream.empty());
}

}  // namespace
}  // namespace talvero
