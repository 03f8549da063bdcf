#include "config/read_settings.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/rewrite_settings_file.hpp"
#include "config/save_settings.hpp"
#include "config/setting_value.hpp"
#include "settings_fixture.hpp"

namespace talvero {
namespace {

using testing::CrLfLines;
using testing::kDefaultFile;
using testing::ReadFile;
using testing::SettingsFixture;
using testing::WriteFile;
using Calls = std::vector<std::string>;
using Values = std::array<std::string, kSettingsGridRowCount>;

const Values kBuiltInShown{"33665", "COM1", "15", "60", "240", "7", "30", "0", "7", "7", "9873"};

class ReadSettingsTest : public SettingsFixture {};

TEST_F(ReadSettingsTest, TheServiceAppliesEverySettingInGridOrderAndNeverWrites) {
  const std::string file =
      "encryptionkey=12\r\nCOMMTROUBLE1=30\r\nTcpUdpSrvPort=4000\r\nSerialPort=COM2\r\n"
      "CommTrouble2=90\r\nCommTrouble3=300\r\nCommTrStartUpDelay=5\r\nPingInvToMonitSoft=45\r\n"
      "EncrMarker=1\r\nReceiverNumber=12\r\nLineNumber=3\r\nPlaySounds=1\r\n";
  WriteFile(ini, file);
  auto editor = Editor(HostKind::Service);
  const auto read = ReadSettings(editor, ini);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->shown.values,
            (Values{"4000", "COM2", "30", "90", "300", "5", "45", "1", "12", "3", "0012"}));
  EXPECT_TRUE(read->shown.playSounds);
  EXPECT_EQ(settings.TcpUdpSrvPort, 4000);
  EXPECT_EQ(settings.CommTrouble1, 30);
  EXPECT_EQ(settings.EncrMarker, 1);
  EXPECT_EQ(settings.ReceiverNumber, 12);
  EXPECT_EQ(settings.LineNumber, 3);
  EXPECT_EQ(settings.EncryptionKey, "0012");
  // During start-up the transports are left to the host.
  EXPECT_EQ(effects.calls, (Calls{"DoActivateSerialPort COM2", "ChangeCommTrDefault 1 30",
                                  "ChangeCommTrDefault 2 90", "ChangeCommTrDefault 3 300",
                                  "PingMonitSoft 45", "ApplyPingInterval 45"}));
  EXPECT_EQ(ReadFile(ini), file);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(ReadSettingsTest, TheFirstLineOfAKeyWinsAndAMissingKeyReadsEmpty) {
  settings.PingInvToMonitSoft = 45;
  WriteFile(ini,
            "LineNumber=3\nlinenumber=4\nSerialPort=CO=M1\nTcpUdpSrvPort =4000\nReceiverNumber\n"
            "ReceiverNumber=8\n");
  auto editor = Editor(HostKind::Service);
  const auto read = ReadSettings(editor, ini);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->shown.values,
            (Values{"33665", "CO=M1", "15", "60", "240", "7", "30", "0", "8", "3", "9873"}));
  EXPECT_EQ(settings.PingInvToMonitSoft, 30);  // no line: the empty value is invalid
}

TEST_F(ReadSettingsTest, NoFileAppliesNothing) {
  settings.SerialPort = "COM9";
  auto editor = Editor(HostKind::Desktop);
  EXPECT_FALSE(ReadSettings(editor, ini));
  EXPECT_EQ(settings.SerialPort, "COM9");
  EXPECT_EQ(effects.calls, Calls{});
  EXPECT_TRUE(log.entries.empty());
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(ReadSettingsTest,
       AMissingFileThatCannotBeCreatedLeavesTheBuiltInValuesAndTheSerialPortShut) {
  const auto nowhere = home.path() / "missing" / "Talvero.ini";
  auto editor = Editor(HostKind::Service);
  EXPECT_FALSE(RewriteSettingsFile_Old2New(nowhere, log));
  EXPECT_FALSE(ReadSettings(editor, nowhere));
  EXPECT_EQ(effects.calls, Calls{});
  EXPECT_EQ(log.ErrNames(), Calls{"RewriteSettingsFile_Old2New"});
}

TEST_F(ReadSettingsTest, ANewDefaultFileIsReadAndSavedByTheDesktopWithTheSameContent) {
  auto editor = Editor(HostKind::Desktop);
  ASSERT_TRUE(RewriteSettingsFile_Old2New(ini, log));
  const auto read = ReadSettings(editor, ini);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->shown, (ShownSettings{kBuiltInShown, false, false}));
  EXPECT_FALSE(read->autoStartUp);
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
  // No heartbeat from the desktop's reading.
  EXPECT_EQ(effects.calls, (Calls{"DoActivateSerialPort COM1", "ChangeCommTrDefault 1 15",
                                  "ChangeCommTrDefault 2 60", "ChangeCommTrDefault 3 240",
                                  "ApplyPingInterval 30"}));
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(ReadSettingsTest, TheDesktopSavesWhatItShowsWithAutoStartUpOff) {
  WriteFile(ini,
            "autostartup=1\nsystemtray=1\nPLAYSOUNDS= 1 \nTcpUdpSrvPort=65535\nSerialPort=COM2\n"
            "EncryptionKey=7\nCommTrouble1=abc\n");
  auto editor = Editor(HostKind::Desktop);
  const auto read = ReadSettings(editor, ini);
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->autoStartUp);
  EXPECT_TRUE(read->shown.systemTray);
  EXPECT_TRUE(read->shown.playSounds);
  EXPECT_EQ(ReadFile(ini), CrLfLines({
                               "TcpUdpSrvPort=33665",
                               "SerialPort=COM2",
                               "CommTrouble1=15",
                               "CommTrouble2=60",
                               "CommTrouble3=240",
                               "CommTrStartUpDelay=7",
                               "PingInvToMonitSoft=30",
                               "EncrMarker=0",
                               "AutoStartUp=0",
                               "SystemTray=1",
                               "PlaySounds=1",
                               "ReceiverNumber=7",
                               "LineNumber=7",
                               "EncryptionKey=0007",
                           }));
}

TEST_F(ReadSettingsTest, OnlyTheTextOneSwitchesAFlagOn) {
  const struct {
    std::string value;
    bool on;
  } cases[] = {{"1", true},    {"\t1\r", true}, {"0", false}, {"01", false},
               {"yes", false}, {"", false},     {"11", false}};
  auto editor = Editor(HostKind::Service);
  for (const auto& c : cases) {
    WriteFile(ini, "PlaySounds=" + c.value + "\nSystemTray=" + c.value + "\n");
    const auto read = ReadSettings(editor, ini);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->shown.playSounds, c.on) << c.value;
    EXPECT_EQ(read->shown.systemTray, c.on) << c.value;
  }
}

TEST_F(ReadSettingsTest, AFileThatCannotBeSavedIsReportedAndTheValuesStayApplied) {
  WriteFile(ini, "SerialPort=COM4\n");
  // The file is written beside the old one first; a folder in that place fails it.
  std::filesystem::path fresh = ini;
  fresh += ".tmp";
  std::filesystem::create_directory(fresh);
  auto editor = Editor(HostKind::Desktop);
  EXPECT_TRUE(ReadSettings(editor, ini));
  EXPECT_EQ(settings.SerialPort, "COM4");
  EXPECT_EQ(ReadFile(ini), "SerialPort=COM4\n");
  EXPECT_EQ(log.ErrNames(), Calls{"SaveSettings"});
}

TEST_F(ReadSettingsTest, SaveSettingsRefusesALineBreakInsideAValue) {
  WriteFile(ini, kDefaultFile);
  ShownSettings shown{kBuiltInShown};
  shown.values[1] = "COM1\r\nEncryptionKey=0000";
  EXPECT_FALSE(SaveSettings(ini, shown, log));
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
  EXPECT_EQ(log.ErrNames(), Calls{"SaveSettings"});

  shown.values[1] = " COM2\r\n";  // a line end at the end is trimmed away
  EXPECT_TRUE(SaveSettings(ini, shown, log));
  EXPECT_NE(ReadFile(ini).find("\r\nSerialPort=COM2\r\nCommTrouble1="), std::string::npos);
}

// Whatever the file holds, every engine setting ends up with a value its rule accepts.
void ExpectAllValid(const std::optional<SettingsRead>& read) {
  ASSERT_TRUE(read);
  for (size_t r = 0; r < kSettingsGridRowCount; ++r) {
    const SettingDef& def = SettingDefOf(kSettingsGridRows[r].key);
    EXPECT_TRUE(ValidateSetting(def, read->shown.values[r]).valid)
        << def.name << "=" << read->shown.values[r];
  }
}

TEST_F(ReadSettingsTest, GarbageGivesTheFallbacks) {
  std::string noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 64 * 1024; ++i) {
    seed = seed * 1103515245 + 12345;
    noise += static_cast<char>(seed >> 24);
  }
  auto editor = Editor(HostKind::Service);
  for (const std::string& bytes : {noise, std::string(1 << 20, '\0'), std::string(1 << 20, '='),
                                   std::string("\r\n\r\r\n\n=\r=\n")}) {
    WriteFile(ini, bytes);
    ExpectAllValid(ReadSettings(editor, ini));
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(ReadSettingsTest, NulBytesAndHugeLinesReadLikeOtherTextAndLoneCarriageReturnsEndLines) {
  const std::string huge(4 << 20, 'x');
  const std::string file = std::string(
                               "TcpUdpSrvPort=40\0"
                               "00\r",
                               20) +
                           huge + "\r" + std::string("SerialPort=\0COM2\r", 17) +
                           "CommTrouble1=" + huge +
                           "\rLineNumber=3\rReceiverNumber=" + std::string(3 << 20, '0') + "5\r";
  WriteFile(ini, file);
  auto editor = Editor(HostKind::Service);
  const auto read = ReadSettings(editor, ini);
  ExpectAllValid(read);
  EXPECT_EQ(settings.TcpUdpSrvPort, 33665);
  EXPECT_EQ(settings.SerialPort, "COM2");  // the NUL in front is trimmed
  EXPECT_EQ(settings.CommTrouble1, 15);
  EXPECT_EQ(settings.LineNumber, 3);
  EXPECT_EQ(settings.ReceiverNumber, 5);
}

TEST_F(ReadSettingsTest, AFileThatCannotBeReadIsReported) {
  std::filesystem::create_directory(ini);
  auto editor = Editor(HostKind::Desktop);
  EXPECT_FALSE(ReadSettings(editor, ini));
  EXPECT_EQ(effects.calls, Calls{});
  EXPECT_EQ(log.ErrNames(), Calls{"ReadSettings"});
}

}  // namespace
}  // namespace talvero
