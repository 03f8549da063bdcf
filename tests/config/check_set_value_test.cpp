#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/setting_table.hpp"
#include "config/settings_editor.hpp"
#include "settings_fixture.hpp"

namespace talvero {
namespace {

using testing::RecordingLogger;
using testing::SettingsFixture;
using Calls = std::vector<std::string>;

// The field of a setting as text, to see what was stored.
std::string FieldText(const Settings& s, SettingKey key) {
  switch (key) {
    case SettingKey::TcpUdpSrvPort:
      return std::to_string(s.TcpUdpSrvPort);
    case SettingKey::SerialPort:
      return s.SerialPort;
    case SettingKey::CommTrouble1:
      return std::to_string(s.CommTrouble1);
    case SettingKey::CommTrouble2:
      return std::to_string(s.CommTrouble2);
    case SettingKey::CommTrouble3:
      return std::to_string(s.CommTrouble3);
    case SettingKey::CommTrStartUpDelay:
      return std::to_string(s.CommTrStartUpDelay);
    case SettingKey::PingInvToMonitSoft:
      return std::to_string(s.PingInvToMonitSoft);
    case SettingKey::EncrMarker:
      return std::to_string(s.EncrMarker);
    case SettingKey::ReceiverNumber:
      return std::to_string(s.ReceiverNumber);
    case SettingKey::LineNumber:
      return std::to_string(s.LineNumber);
    case SettingKey::EncryptionKey:
      return s.EncryptionKey;
    default:
      return "?";
  }
}

// Values unlike every fallback, so a fallback that is not stored shows.
Settings OddSettings() {
  Settings s;
  s.TcpUdpSrvPort = 1000;
  s.SerialPort = "ODD";
  s.CommTrouble1 = 11;
  s.CommTrouble2 = 22;
  s.CommTrouble3 = 33;
  s.CommTrStartUpDelay = 44;
  s.PingInvToMonitSoft = 55;
  s.EncrMarker = 1;
  s.ReceiverNumber = 66;
  s.LineNumber = 3;
  s.EncryptionKey = "1111";
  return s;
}

class CheckSetValue : public SettingsFixture {};

TEST_F(CheckSetValue, TakesValidValuesAndStoresTheFallbackOtherwise) {
  using K = SettingKey;
  const struct {
    K key;
    std::string text;
    bool valid;
    std::string shown;
    std::string stored;
  } cases[] = {
      {K::TcpUdpSrvPort, "33666", true, "33666", "33666"},
      {K::TcpUdpSrvPort, "1", true, "1", "1"},
      {K::TcpUdpSrvPort, "65534", true, "65534", "65534"},
      {K::TcpUdpSrvPort, " 8080 \r\n", true, "8080", "8080"},
      {K::TcpUdpSrvPort, "08080", true, "08080", "8080"},
      {K::TcpUdpSrvPort, "65535", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "0", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "+8080", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "0x50", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "80 80", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "4294967297", false, "33665", "33665"},
      {K::TcpUdpSrvPort, "", false, "33665", "33665"},
      {K::SerialPort, "CNCA10", true, "CNCA10", "CNCA10"},
      {K::SerialPort, "COM", true, "COM", "COM"},
      {K::SerialPort, "\tCOM2  ", true, "COM2", "COM2"},
      {K::SerialPort, "CNCA100", false, "COM1", "COM1"},
      {K::SerialPort, "", false, "COM1", "COM1"},
      {K::SerialPort, "CO", false, "COM1", "COM1"},
      {K::SerialPort, "pts/3", true, "pts/3", "pts/3"},
      {K::SerialPort, "../sda", true, "../sda", "../sda"},
      {K::SerialPort, std::string("CO\0M2", 5), false, "COM1", "COM1"},
      {K::SerialPort, "CO\nM2", false, "COM1", "COM1"},
      {K::CommTrouble1, "0", true, "0", "0"},
      {K::CommTrouble1, "9999", true, "9999", "9999"},
      {K::CommTrouble1, "10000", false, "15", "15"},
      {K::CommTrouble1, "abc", false, "15", "15"},
      {K::CommTrouble2, "-1", false, "60", "60"},
      {K::CommTrouble3, "", false, "240", "240"},
      {K::CommTrStartUpDelay, "0", true, "0", "0"},
      {K::CommTrStartUpDelay, "60", true, "60", "60"},
      {K::CommTrStartUpDelay, "61", false, "7", "7"},
      {K::PingInvToMonitSoft, "0", true, "0", "0"},
      {K::PingInvToMonitSoft, "5", true, "5", "5"},
      {K::PingInvToMonitSoft, "60", true, "60", "60"},
      {K::PingInvToMonitSoft, "3", false, "30", "30"},
      {K::PingInvToMonitSoft, "61", false, "30", "30"},
      {K::PingInvToMonitSoft, "", false, "30", "30"},
      {K::EncrMarker, "0", true, "0", "0"},
      {K::EncrMarker, "2", false, "0", "0"},
      {K::ReceiverNumber, "99", true, "99", "99"},
      {K::ReceiverNumber, "100", false, "7", "7"},
      {K::ReceiverNumber, "0", false, "7", "7"},
      {K::LineNumber, "9", true, "9", "9"},
      {K::LineNumber, "10", false, "7", "7"},
      {K::LineNumber, "0", false, "7", "7"},
      {K::EncryptionKey, "12", true, "0012", "0012"},
      {K::EncryptionKey, "0012", true, "0012", "0012"},
      {K::EncryptionKey, "0", true, "0000", "0000"},
      {K::EncryptionKey, "9999", true, "9999", "9999"},
      {K::EncryptionKey, "000000012", true, "0012", "0012"},
      {K::EncryptionKey, "10000", false, "9873", "9873"},
      {K::EncryptionKey, "12a4", false, "9873", "9873"},
      {K::EncryptionKey, "", false, "9873", "9873"},
  };
  for (const auto& c : cases) {
    settings = OddSettings();
    const auto result = Editor(HostKind::Service).CheckSetValue(static_cast<int>(c.key), c.text);
    const std::string what = fmt::format("{}={}", SettingDefOf(c.key).name, c.text);
    EXPECT_EQ(result.valid, c.valid) << what;
    EXPECT_EQ(result.text, c.shown) << what;
    EXPECT_EQ(FieldText(settings, c.key), c.stored) << what;
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(CheckSetValue, ThePortRestartsTheTransportsOnlyOnceStartUpHasCompleted) {
  auto editor = Editor(HostKind::Desktop);
  editor.CheckSetValue(0, "4000");
  EXPECT_EQ(effects.calls, Calls{});
  EXPECT_EQ(settings.TcpUdpSrvPort, 4000);

  effects.started = true;
  editor.CheckSetValue(0, "4001");
  editor.CheckSetValue(0, "65535");
  EXPECT_EQ(effects.calls, (Calls{"ActivateSrvPort force=false port=4001",
                                  "ActivateSrvPort force=false port=33665"}));
}

TEST_F(CheckSetValue, TheSerialPortIsOpenedUnderTheResultingName) {
  auto editor = Editor(HostKind::Service);
  editor.CheckSetValue(1, "COM7");
  editor.CheckSetValue(1, "TOO-LONG");
  EXPECT_EQ(effects.calls, (Calls{"DoActivateSerialPort COM7", "DoActivateSerialPort COM1"}));
}

TEST_F(CheckSetValue, TheHeartbeatRunsFirstOnTheServiceHostOnlyThenTheTimerIsApplied) {
  auto service = Editor(HostKind::Service);
  service.CheckSetValue(6, "45");
  service.CheckSetValue(6, "0");
  EXPECT_EQ(effects.calls, (Calls{"PingMonitSoft 45", "ApplyPingInterval 45", "PingMonitSoft 0",
                                  "ApplyPingInterval 0"}));
  effects.calls.clear();
  auto desktop = Editor(HostKind::Desktop);
  desktop.CheckSetValue(6, "3");
  EXPECT_EQ(effects.calls, Calls{"ApplyPingInterval 30"});
}

TEST_F(CheckSetValue, ATroubleDefaultMovesOnlyTheUnitsThatCarryIt) {
  auto editor = Editor(HostKind::Desktop);
  effects.started = true;
  EXPECT_TRUE(editor.CheckSetValue(2, "20").valid);
  EXPECT_EQ(settings.CommTrouble1, 20);
  EXPECT_EQ(effects.limits[0][0], 20);
  EXPECT_EQ(effects.limits[1][0], 30);  // its own threshold stays

  // Typed after start-up: the built-in default, and every unit keeps what it had.
  const auto result = editor.CheckSetValue(2, "abc");
  EXPECT_FALSE(result.valid);
  EXPECT_EQ(result.text, "15");
  EXPECT_EQ(settings.CommTrouble1, 15);
  EXPECT_EQ(effects.limits[0][0], 20);
  EXPECT_EQ(effects.limits[1][0], 30);

  EXPECT_TRUE(editor.CheckSetValue(4, "0").valid);
  EXPECT_EQ(settings.CommTrouble3, 0);
  EXPECT_EQ(effects.limits[0][2], 0);
  EXPECT_EQ(effects.calls, (Calls{"ChangeCommTrDefault 1 20", "ChangeCommTrDefault 1 invalid",
                                  "ChangeCommTrDefault 3 0"}));
}

TEST_F(CheckSetValue, TheDesktopFlagsAndUnknownIndicesAreFailures) {
  auto editor = Editor(HostKind::Desktop);
  for (const int index : {8, 9, 10, -1, 14, 1000}) {
    const auto result = editor.CheckSetValue(index, "1");
    EXPECT_FALSE(result.valid) << index;
    EXPECT_EQ(result.text, "") << index;
  }
  EXPECT_EQ(log.ErrNames(), std::vector<std::string>(6, "CheckSetValue"));
  EXPECT_EQ(effects.calls, Calls{});
}

TEST_F(CheckSetValue, AFailingEffectIsReportedAndGivesNoText) {
  effects.failSerialPort = true;
  const auto result = Editor(HostKind::Service).CheckSetValue(1, "COM2");
  EXPECT_FALSE(result.valid);
  EXPECT_EQ(result.text, "");
  EXPECT_EQ(log.entries, (std::vector<RecordingLogger::Entry>{
                             {RecordingLogger::Kind::Err, "CheckSetValue|port layer broke"}}));
}

}  // namespace
}  // namespace talvero
