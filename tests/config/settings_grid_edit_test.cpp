#include "config/settings_grid_edit.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/read_settings.hpp"
#include "config/rewrite_settings_file.hpp"
#include "settings_fixture.hpp"

namespace talvero {
namespace {

using testing::kDefaultFile;
using testing::ReadFile;
using testing::SettingsFixture;
using Calls = std::vector<std::string>;

// A desktop host after a start-up with the default file.
class SettingsGridEdit : public SettingsFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RewriteSettingsFile_Old2New(ini, log));
    const auto read = ReadSettings(editor, ini);
    ASSERT_TRUE(read);
    shown = read->shown;
    effects.calls.clear();
  }

  SettingsEditor editor = Editor(HostKind::Desktop);
  ShownSettings shown;
};

TEST_F(SettingsGridEdit, IsIgnoredUntilStartUpHasCompleted) {
  EXPECT_EQ(PostSettingEdit(editor, ini, shown, 0, "4000"), shown);
  EXPECT_EQ(settings.TcpUdpSrvPort, 33665);
  EXPECT_EQ(effects.calls, Calls{});
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
}

TEST_F(SettingsGridEdit, AppliesTheValueThenSavesReadsAndAppliesAllAgain) {
  effects.started = true;
  const ShownSettings after = PostSettingEdit(editor, ini, shown, 2, "abc");
  EXPECT_EQ(after.values[2], "15");
  EXPECT_EQ(effects.limits[1][0], 30);
  EXPECT_EQ(
      effects.calls,
      (Calls{"ChangeCommTrDefault 1 invalid", "ActivateSrvPort force=false port=33665",
             "DoActivateSerialPort COM1", "ChangeCommTrDefault 1 15", "ChangeCommTrDefault 2 60",
             "ChangeCommTrDefault 3 240", "ApplyPingInterval 30"}));
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(SettingsGridEdit, TheKeyAndTheCheckBoxesReachTheFile) {
  effects.started = true;
  shown.playSounds = true;
  const ShownSettings after = PostSettingEdit(editor, ini, shown, 10, " 42 ");
  EXPECT_EQ(after.values[10], "0042");
  EXPECT_TRUE(after.playSounds);
  EXPECT_EQ(settings.EncryptionKey, "0042");
  const std::string file = ReadFile(ini);
  EXPECT_NE(file.find("\r\nPlaySounds=1\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\nEncryptionKey=0042\r\n"), std::string::npos);
}

TEST_F(SettingsGridEdit, ARowOutsideTheGridIsIgnored) {
  effects.started = true;
  EXPECT_EQ(PostSettingEdit(editor, ini, shown, kSettingsGridRowCount, "1"), shown);
  EXPECT_EQ(effects.calls, Calls{});
}

}  // namespace
}  // namespace talvero
