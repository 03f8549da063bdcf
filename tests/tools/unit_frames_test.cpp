#include "unit_sim/unit_frames.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/unit_id.hpp"
#include "support/bytes.hpp"
#include "support/frame_time.hpp"
#include "support/recording_logger.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;
using testing::Bytes;
using testing::kNow;
using testing::kNowBytes;
using testing::RecordingLogger;

constexpr uint16_t kUnit = 0x1A2B;
constexpr uint16_t kFrameID = 0x1234;

struct KindCase {
  UnitFrameKind kind;
  DeviceFrameType type;
};

const KindCase kKinds[] = {
    {UnitFrameKind::Ping, DeviceFrameType::Ping},
    {UnitFrameKind::PingImeiFwVer, DeviceFrameType::PingImeiFwVer},
    {UnitFrameKind::GsmLevelReport, DeviceFrameType::GsmLevelReport},
    {UnitFrameKind::AlarmEvent, DeviceFrameType::AlarmEvent},
    {UnitFrameKind::SetTimeRequest, DeviceFrameType::SetTimeRequest},
    {UnitFrameKind::ChangeUnitNrRequest, DeviceFrameType::ChangeUnitNrRequest},
    {UnitFrameKind::Temperatures, DeviceFrameType::Temperatures},
    {UnitFrameKind::Ack, DeviceFrameType::Ack},
};

UnitFrameFields SampleFields() {
  UnitFrameFields f;
  f.sensors = {{1, 1, 21}, {2, 16, 5}};
  return f;
}

std::string Build(UnitFrameKind kind, const UnitFrameFields& fields,
                  std::optional<std::string> key = std::nullopt) {
  RecordingLogger log;
  return BuildUnitFrame(kind, fields, FrameSeal{kUnit, kFrameID, std::move(key)}, kNow, log);
}

TEST(UnitFrames, EveryKindHasTheLengthTypeHeaderAndChecksumTheReceiverChecks) {
  // The desktop host accepts every type a unit sends, each with its exact length.
  const FrameTypeTable sizes(HostKind::Desktop);
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(std::string(KindName(c.kind)));
    const std::string frame = Build(c.kind, SampleFields());
    const auto type = static_cast<uint8_t>(c.type);
    EXPECT_EQ(frame.size(), sizes.SizeByType(type));
    EXPECT_EQ(static_cast<uint8_t>(frame[0]), type);
    EXPECT_EQ(frame[1], '\0');
    EXPECT_EQ(frame.substr(2, 2), Bytes({0x12, 0x34}));
    EXPECT_EQ(frame.substr(4, 4), Bytes({0x0B, 0x02, 0x0A, 0x01}));
    EXPECT_EQ(ReadUnitID(frame).UnitNr, kUnit);
    EXPECT_TRUE(CheckCrc8(frame));
  }
}

TEST(UnitFrames, EncryptedFramesDecryptBackWithTheKeyAndFrameID) {
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(std::string(KindName(c.kind)));
    const std::string plain = Build(c.kind, SampleFields());
    const std::string sealed = Build(c.kind, SampleFields(), "9873");
    ASSERT_EQ(sealed.size(), plain.size());
    EXPECT_TRUE(CheckCrc8(sealed));
    EXPECT_EQ(sealed[0], plain[0]);
    EXPECT_EQ(sealed[1], '\x01');
    EXPECT_EQ(sealed.substr(2, 2), plain.substr(2, 2));
    const std::string covered = sealed.substr(4, sealed.size() - 5);
    EXPECT_NE(covered, plain.substr(4, plain.size() - 5));
    RecordingLogger log;
    EXPECT_EQ(Encryption(covered, 0x12, 0x34, "9873", log), plain.substr(4, plain.size() - 5));
    EXPECT_NE(Encryption(covered, 0x12, 0x35, "9873", log), plain.substr(4, plain.size() - 5));
  }
}

TEST(UnitFrames, PayloadsSitAtTheirOffsets) {
  UnitFrameFields f;
  f.imei = "351234567890123";
  f.firmware = {2, 10, 255};
  f.gsmLevel = 7;
  f.account = "AB12";
  f.event = "3401";
  f.group = "02";
  f.zone = "017";
  f.sensors = {{3, 17, 12}};
  f.time = At(2031, 12, 31, 23, 59, 58);

  const std::string alarm = Build(UnitFrameKind::AlarmEvent, f);
  EXPECT_EQ(alarm.substr(8, 6), Bytes({31, 12, 31, 23, 59, 58}));
  EXPECT_EQ(alarm.substr(14, 13), "AB12340102017");

  const std::string ping = Build(UnitFrameKind::PingImeiFwVer, f);
  EXPECT_EQ(ping.substr(8, 15), f.imei);
  EXPECT_EQ(ping.substr(23, 3), Bytes({2, 10, 255}));

  EXPECT_EQ(Build(UnitFrameKind::ChangeUnitNrRequest, f).substr(8, 15), f.imei);
  EXPECT_EQ(Build(UnitFrameKind::GsmLevelReport, f)[8], '\x07');

  const std::string temps = Build(UnitFrameKind::Temperatures, f);
  EXPECT_EQ(temps[8], '\x01');
  EXPECT_EQ(temps.substr(9, 4), Bytes({3, 17, 0, 12}));
  EXPECT_EQ(temps.substr(13, 28), std::string(28, '\0'));
}

TEST(UnitFrames, TimeDefaultsToNow) {
  const UnitFrameFields f;
  EXPECT_EQ(Build(UnitFrameKind::AlarmEvent, f).substr(8, 6), kNowBytes);
  EXPECT_EQ(Build(UnitFrameKind::Ack, f).substr(8, 6), kNowBytes);
}

TEST(UnitFrames, RawBytesGoOutAsGiven) {
  UnitFrameFields f;
  f.raw = Bytes({0x23, 0x00, 0x00});
  EXPECT_EQ(Build(UnitFrameKind::Raw, f), f.raw);
}

TEST(UnitFrames, FieldsOfTheWrongSizeAreRefused) {
  const auto with = [](auto change) {
    UnitFrameFields f;
    change(f);
    return f;
  };
  EXPECT_THROW(Build(UnitFrameKind::PingImeiFwVer, with([](auto& f) { f.imei = "123"; })),
               std::invalid_argument);
  EXPECT_THROW(Build(UnitFrameKind::ChangeUnitNrRequest,
                     with([](auto& f) { f.imei = std::string(16, '1'); })),
               std::invalid_argument);
  EXPECT_THROW(Build(UnitFrameKind::AlarmEvent, with([](auto& f) { f.account = "12345"; })),
               std::invalid_argument);
  EXPECT_THROW(Build(UnitFrameKind::AlarmEvent, with([](auto& f) { f.zone = "01"; })),
               std::invalid_argument);
  EXPECT_THROW(Build(UnitFrameKind::Temperatures,
                     with([](auto& f) { f.sensors.resize(kTemperatureEntries + 1); })),
               std::invalid_argument);
}

TEST(UnitFrames, KeyTextsTheCipherTakes) {
  EXPECT_TRUE(KeyTextUsable("9873"));
  EXPECT_TRUE(KeyTextUsable("12"));        // padded in front with "0"
  EXPECT_TRUE(KeyTextUsable("1234zzzz"));  // only the first four count
  EXPECT_TRUE(KeyTextUsable("abCD"));
  EXPECT_FALSE(KeyTextUsable("98G3"));
  EXPECT_FALSE(KeyTextUsable("-123"));
}

TEST(UnitFrameKinds, NamesAndAnswers) {
  EXPECT_EQ(ParseFrameKind("PingImeiFwVer"), UnitFrameKind::PingImeiFwVer);
  EXPECT_EQ(ParseFrameKind("alarmevent"), UnitFrameKind::AlarmEvent);
  EXPECT_EQ(ParseFrameKind("gsm"), UnitFrameKind::GsmLevelReport);
  EXPECT_EQ(ParseFrameKind("Nack"), std::nullopt);
  EXPECT_EQ(ParseFrameKind(""), std::nullopt);
  EXPECT_EQ(ExpectedAnswer(UnitFrameKind::Ping), DeviceFrameType::Ack);
  EXPECT_EQ(ExpectedAnswer(UnitFrameKind::SetTimeRequest), DeviceFrameType::NewTime);
  EXPECT_EQ(ExpectedAnswer(UnitFrameKind::ChangeUnitNrRequest), DeviceFrameType::NewUnitNr);
  EXPECT_EQ(ExpectedAnswer(UnitFrameKind::Ack), std::nullopt);
}

}  // namespace
}  // namespace talvero
