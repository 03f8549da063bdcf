#include "unit_sim/unit_options.hpp"

#include <gtest/gtest.h>

#include "common/usage_error.hpp"
#include "shown_args.hpp"
#include "support/bytes.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::ShownArgs;
using Args = std::vector<std::string>;

TEST(UnitOptions, Defaults) {
  const UnitOptions o = ParseUnitArgs({"ping"});
  EXPECT_EQ(o.mode, UnitMode::Send);
  EXPECT_EQ(o.kind, UnitFrameKind::Ping);
  EXPECT_EQ(o.host, "127.0.0.1");
  EXPECT_EQ(o.port, 33665);
  EXPECT_EQ(o.transport, UnitTransport::Tcp);
  EXPECT_EQ(o.unitNr, 1);
  EXPECT_EQ(o.frameID, 1);
  EXPECT_FALSE(o.keyText.has_value());
  EXPECT_FALSE(o.json);
}

TEST(UnitOptions, OneFrameWithItsFields) {
  const UnitOptions o = ParseUnitArgs({"AlarmEvent", "--udp",      "--host=10.0.0.5",
                                       "--port",     "4000",       "--unit",
                                       "1a2b",       "--frame-id", "65535",
                                       "--key",      "1234",       "--account",
                                       "ABCD",       "--event",    "3401",
                                       "--group",    "02",         "--zone",
                                       "017",        "--time",     "2030-01-02 03:04:05",
                                       "--timeout",  "0.5",        "--listen",
                                       "2",          "--json"});
  EXPECT_EQ(o.kind, UnitFrameKind::AlarmEvent);
  EXPECT_EQ(o.transport, UnitTransport::Udp);
  EXPECT_EQ(o.host, "10.0.0.5");
  EXPECT_EQ(o.port, 4000);
  EXPECT_EQ(o.unitNr, 0x1A2B);
  EXPECT_EQ(o.frameID, 65535);
  EXPECT_EQ(o.keyText, "1234");
  EXPECT_EQ(o.fields.account, "ABCD");
  EXPECT_EQ(o.fields.event, "3401");
  EXPECT_EQ(o.fields.group, "02");
  EXPECT_EQ(o.fields.zone, "017");
  EXPECT_EQ(o.fields.time, testing::At(2030, 1, 2, 3, 4, 5));
  EXPECT_DOUBLE_EQ(o.timeoutSeconds, 0.5);
  EXPECT_DOUBLE_EQ(o.listenSeconds, 2);
  EXPECT_TRUE(o.json);

  const UnitOptions imei = ParseUnitArgs({"imei", "--imei", "351234567890123", "--fw", "2.10.255"});
  EXPECT_EQ(imei.fields.imei, "351234567890123");
  EXPECT_EQ(imei.fields.firmware, (std::array<uint8_t, 3>{2, 10, 255}));

  const UnitOptions temp = ParseUnitArgs({"temp", "--sensor", "1:1:21", "--sensor", "2:16:5"});
  ASSERT_EQ(temp.fields.sensors.size(), 2u);
  EXPECT_EQ(temp.fields.sensors[1].state, 16);
  EXPECT_EQ(temp.fields.sensors[1].degrees, 5);

  EXPECT_EQ(ParseUnitArgs({"ping", "--encrypt"}).keyText, std::string(kBuiltInKeyText));
  EXPECT_EQ(ParseUnitArgs({"raw", "0x230001"}).fields.raw, Bytes({0x23, 0x00, 0x01}));
  EXPECT_EQ(ParseUnitArgs({"ping", "--help", "--bogus"}).mode, UnitMode::Help);
}

TEST(UnitOptions, LoadMode) {
  const UnitOptions o = ParseUnitArgs({"load", "--units", "1000", "--rate", "2000", "--duration",
                                       "30", "--frame", "alarm", "--unit", "0100"});
  EXPECT_EQ(o.mode, UnitMode::Load);
  EXPECT_EQ(o.units, 1000u);
  EXPECT_EQ(o.rate, 2000.0);
  EXPECT_DOUBLE_EQ(o.durationSeconds, 30);
  EXPECT_EQ(o.kind, UnitFrameKind::AlarmEvent);
  EXPECT_EQ(o.unitNr, 0x100);
  EXPECT_FALSE(o.accountGiven);

  const UnitOptions max = ParseUnitArgs({"load", "--max", "--udp"});
  EXPECT_FALSE(max.rate.has_value());
  EXPECT_EQ(max.kind, UnitFrameKind::Ping);
  EXPECT_EQ(ParseUnitArgs({"load", "--units", "65535", "--unit", "0001"}).units, 65535u);
}

TEST(UnitOptions, BadArgumentsAreRefused) {
  const Args cases[] = {
      {},
      {"pong"},
      {"ping", "ping"},
      {"raw"},
      {"raw", "0x12G4"},
      {"raw", "0x"},
      {"raw", "0x23", "--key", "9873"},
      {"ping", "--bogus"},
      {"ping", "--port"},
      {"ping", "--port", "0"},
      {"ping", "--port", "65536"},
      {"ping", "--port", "12ab"},
      {"ping", "--port", "80", "--port", "81"},
      {"ping", "--host", "receiver.example"},
      {"ping", "--host", "256.1.1.1"},
      {"ping", "--tcp", "--udp"},
      {"ping", "--tcp=yes"},
      {"ping", "--unit", "123"},
      {"ping", "--unit", "12G4"},
      {"ping", "--frame-id", "-1"},
      {"ping", "--frame-id", "65536"},
      {"ping", "--key", "98G3"},
      {"ping", "--timeout", "0"},
      {"ping", "--timeout", "nan"},
      {"ping", "--timeout", "1e3"},
      {"ping", "--timeout", "-1"},
      {"imei", "--imei", "12345"},
      {"imei", "--fw", "1.2"},
      {"imei", "--fw", "1.2.256"},
      {"imei", "--fw", "1..2"},
      {"gsm", "--level", "256"},
      {"alarm", "--time", "2024-02-30 10:00:00"},
      {"alarm", "--time", "1999-12-31 23:59:59"},
      {"alarm", "--time", "2024-03-05T14:07:09"},
      {"alarm", "--account", "123"},
      {"alarm", "--account",
       "12\x01"
       "4"},
      {"alarm", "--event",
       "E130"
       "0"},
      {"alarm", "--zone", "0001"},
      {"temp", "--sensor", "1:1"},
      {"temp", "--sensor", "1:1:300"},
      {"temp", "--sensor", "1:1:1", "--sensor", "2:1:1", "--sensor", "3:1:1", "--sensor", "4:1:1",
       "--sensor", "5:1:1", "--sensor", "6:1:1", "--sensor", "7:1:1", "--sensor", "8:1:1",
       "--sensor", "9:1:1"},
      {"ping", "--units", "10"},
      {"ping", "--rate", "10"},
      {"load", "--listen", "1"},
      {"load", "--time", "2024-03-05 14:07:09"},
      {"load", "--rate", "10", "--max"},
      {"load", "--rate", "0"},
      {"load", "--units", "0"},
      {"load", "--units", "2", "--unit", "FFFF"},
      {"load", "--frame", "settime"},
      {"load", "--duration", "0"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(ShownArgs(args));
    EXPECT_THROW(ParseUnitArgs(args), UsageError);
  }
}

}  // namespace
}  // namespace talvero
