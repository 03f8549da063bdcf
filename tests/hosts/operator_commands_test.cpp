#include "hosts/operator_commands.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/command_desk.hpp"
#include "engine/unit_frames.hpp"
#include "hosts/grid_menu.hpp"
#include "hosts/help_files.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::MakeTcpRoute;
using testing::Ping;
using Step = CommandStep::Kind;
using Lines = std::vector<std::string>;

const std::string kResetDevice3 = AddCrc8(Bytes({0x29, 0, 0, 0, 3, 0, 0, 0}));

class OperatorCommandsTest : public ::testing::Test {
 protected:
  OperatorCommandsTest() {
    std::filesystem::create_directory(resources.path() / "Resources");
    d.e.processor.ProcessRecMsg(tcp, Ping(3));
    tcp->sent.clear();
    d.e.log.Clear();
  }

  testing::CommandDesk d;
  testing::TempDir resources;
  AdminPasswordFile password{resources.path() / "Resources" / "bin.ini"};
  OperatorCommands op{d.commands, d.e.database, d.e.tables, d.e.settings, password, d.e.observer};
  std::shared_ptr<testing::FakeTransport> tcp = MakeTcpRoute("10.0.0.5", 4001);
};

TEST_F(OperatorCommandsTest, ExactlyTheProtectedItemsAskForTheAdminPassword) {
  for (const std::string name : {"Reset Device", "Do Open1", "Do Open2", "Do Open3", "Do Open4",
                                 "Do Close1", "Do Close2", "Do Close3", "Do Close4"}) {
    EXPECT_EQ(op.Start(NamedCommand{name}, 3, false).kind, Step::AskPassword) << name;
  }
  for (const std::string name :
       {"Get Ping", "Get Automatic Test", "Get GSM Level", "Set Time", "Clear Storage"}) {
    EXPECT_EQ(op.Start(NamedCommand{name}, 3, false).kind, Step::Sent) << name;
  }
  EXPECT_EQ(op.Start(NamedCommand{"Change UnitID"}, 3, false).kind, Step::Refused);  // no IMEI
  EXPECT_EQ(tcp->sent.size(), 5u);
}

TEST_F(OperatorCommandsTest, TheRightPasswordSendsAWrongOneAsksAgainAndCancelSendsNothing) {
  const CommandStep prompt = op.Start(NamedCommand{"Reset Device"}, 3, false);
  ASSERT_EQ(prompt.kind, Step::AskPassword);
  EXPECT_EQ(prompt.boxText, "");
  ASSERT_TRUE(prompt.pending);
  EXPECT_TRUE(tcp->sent.empty());

  CommandStep again = op.AnswerPassword(*prompt.pending, "9872", false);
  for (int attempt = 0; attempt < 3; ++attempt) {
    ASSERT_EQ(again.kind, Step::AskPassword);
    EXPECT_EQ(again.boxText, "Incorrect password.");
    again = op.AnswerPassword(*again.pending, " 9873", false);
  }
  EXPECT_EQ(op.AnswerPassword(*again.pending, std::nullopt, false).kind, Step::Nothing);
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_TRUE(d.e.log.entries.empty());

  const CommandStep sent = op.AnswerPassword(*again.pending, "9873", false);
  EXPECT_EQ(sent.kind, Step::Sent);
  EXPECT_EQ(tcp->sent, Lines{kResetDevice3});
}

TEST_F(OperatorCommandsTest, CtrlIsReadWhenThePasswordIsGiven) {
  const CommandStep prompt = op.Start(NamedCommand{"Do Close3"}, 3, false);
  EXPECT_EQ(op.AnswerPassword(*prompt.pending, "9873", true).kind, Step::Queued);
  const CommandStep held = op.Start(NamedCommand{"Do Close3"}, 3, true);
  EXPECT_EQ(op.AnswerPassword(*held.pending, "9873", false).kind, Step::Sent);
}

TEST_F(OperatorCommandsTest, APasswordChangedMeanwhileCountsFromTheNextCommand) {
  const CommandStep prompt = op.Start(NamedCommand{"Reset Device"}, 3, false);
  ASSERT_EQ(password.Change("9873", "other").close, true);
  EXPECT_EQ(op.AnswerPassword(*prompt.pending, "9873", false).kind, Step::Sent);

  const CommandStep next = op.Start(NamedCommand{"Reset Device"}, 3, false);
  EXPECT_EQ(op.AnswerPassword(*next.pending, "9873", false).kind, Step::AskPassword);
  EXPECT_EQ(op.AnswerPassword(*next.pending, "other", false).kind, Step::Sent);
}

TEST_F(OperatorCommandsTest, APasswordFileThatCannotBeReadStopsTheCommand) {
  std::filesystem::remove_all(resources.path() / "Resources");
  const CommandStep step = op.Start(NamedCommand{"Reset Device"}, 3, false);
  EXPECT_EQ(step.kind, Step::Failed);
  EXPECT_NE(step.boxText.find("bin.ini"), std::string::npos) << step.boxText;
  EXPECT_FALSE(step.pending);
  EXPECT_TRUE(tcp->sent.empty());
}

TEST_F(OperatorCommandsTest, DeleteAsksAndEmptiesTheUnitsSlotOnYes) {
  d.e.Unit(3).CmdBuffer = {"Get Ping=x"};
  const CommandStep question = op.Start(DeleteCommand{}, 3, false);
  ASSERT_EQ(question.kind, Step::Confirm);
  EXPECT_EQ(question.boxText, "Unit [0003] - Really Delete?");
  EXPECT_EQ(op.AnswerConfirm(*question.pending, false).kind, Step::Nothing);
  EXPECT_EQ(d.e.Unit(3).Active, 1);

  d.e.observer.changedUnits.clear();
  EXPECT_EQ(op.AnswerConfirm(*question.pending, true).kind, Step::Deleted);
  EXPECT_EQ(d.e.Unit(3).Active, 0);
  EXPECT_TRUE(d.e.Unit(3).CmdBuffer.empty());
  EXPECT_EQ(d.e.DbRecord(3), std::vector<uint8_t>(40, 0));
  EXPECT_EQ(d.e.observer.changedUnits, std::vector<uint16_t>{3});
  // The row has gone: a second answer, or a command for it, does nothing.
  EXPECT_EQ(op.AnswerConfirm(*question.pending, true).kind, Step::Nothing);
  EXPECT_EQ(op.Start(NamedCommand{"Reset Device"}, 3, false).kind, Step::Nothing);
  EXPECT_EQ(op.Start(DeleteCommand{}, 70000, false).kind, Step::Nothing);
}

TEST_F(OperatorCommandsTest, AnswersToTheWrongDialogDoNothing) {
  d.e.Unit(3).Imei = testing::kImei;
  const CommandStep box = op.Start(NamedCommand{"Change UnitID"}, 3, false);
  const CommandStep prompt = op.Start(NamedCommand{"Reset Device"}, 3, false);
  const CommandStep question = op.Start(DeleteCommand{}, 3, false);
  EXPECT_EQ(op.AnswerPassword(*box.pending, "9873", false).kind, Step::Nothing);
  EXPECT_EQ(op.AnswerConfirm(*prompt.pending, true).kind, Step::Nothing);
  EXPECT_EQ(op.AnswerUnitNr(*question.pending, "0010", false).kind, Step::Nothing);
  EXPECT_EQ(op.AnswerUnitNr(*box.pending, "0010", false).kind, Step::Sent);
  EXPECT_EQ(d.e.Unit(3).Active, 1);
}

// Captions of a menu level; submenus as "caption>" followed by their entries.
Lines Captions(const std::vector<MenuEntry>& entries) {
  Lines captions;
  for (const MenuEntry& entry : entries) {
    captions.push_back(entry.submenu.empty() ? entry.caption : entry.caption + ">");
    for (const MenuEntry& child : entry.submenu) {
      captions.push_back("  " + child.caption);
    }
  }
  return captions;
}

TEST(GridMenu, ListsTheCommandsInTheirOrderWithCustomCommandsOnlyWhenThereAreLines) {
  const Lines fixed = {"Get Ping",          "Get Automatic Test", "Get GSM Level",
                       "Set Date/Time",     "Reset Device",       "",
                       "Disarm/Arm>",       "  Disarm [Part 1]",  "  Disarm [Part 2]",
                       "  Disarm [Part 3]", "  Disarm [Part 4]",  "  Arm [Part 1]",
                       "  Arm [Part 2]",    "  Arm [Part 3]",     "  Arm [Part 4]",
                       "Important cmd>",    "  Change Unit ID",   "  Clear Storage"};
  CustomCommands none;
  Lines expected = fixed;
  expected.insert(expected.end(), {"", "Delete"});
  EXPECT_EQ(Captions(GridMenu(none)), expected);

  testing::TempDir home;
  testing::RecordingLogger log;
  testing::WriteFile(home.path() / "Talvero_cc.ini", "bad\nRelay on = 0x0101\n");
  CustomCommands custom;
  custom.AppendCustomCmdToPopupMenu(home.path() / "Talvero_cc.ini", log);
  const std::vector<MenuEntry> menu = GridMenu(custom);
  expected = fixed;
  expected.insert(expected.end(), {"Custom Cmd>", "  Relay on", "", "Delete"});
  EXPECT_EQ(Captions(menu), expected);
  EXPECT_EQ(menu[8].submenu[0].action, MenuAction(CustomCommand{1}));
  EXPECT_EQ(menu[4].action, MenuAction(NamedCommand{"Reset Device"}));
  EXPECT_TRUE(menu[4].needsAdminPassword);
  EXPECT_TRUE(menu[6].submenu[6].needsAdminPassword);
  EXPECT_EQ(menu[6].submenu[6].action, MenuAction(NamedCommand{"Do Close3"}));
  EXPECT_EQ(menu[3].action, MenuAction(NamedCommand{"Set Time"}));
  EXPECT_FALSE(menu[3].needsAdminPassword);
  EXPECT_EQ(menu.back().action, MenuAction(DeleteCommand{}));

  // A file of invalid lines still gives the submenu, empty.
  testing::WriteFile(home.path() / "Talvero_cc.ini", "bad\n");
  custom.AppendCustomCmdToPopupMenu(home.path() / "Talvero_cc.ini", log);
  EXPECT_EQ(Captions(GridMenu(custom))[18], "Custom Cmd");
}

TEST(HelpChooser, HandsOverThePresentFileOrSaysItIsMissing) {
  testing::TempDir work;
  EXPECT_EQ(HelpLanguageOfCaption("EN"), HelpLanguage::English);
  EXPECT_EQ(HelpLanguageOfCaption("RU"), HelpLanguage::Russian);
  EXPECT_EQ(HelpLanguageOfCaption("en"), std::nullopt);

  for (const HelpLanguage language : {HelpLanguage::English, HelpLanguage::Russian}) {
    const HelpChoice missing = ChooseHelp(language, work.path());
    EXPECT_FALSE(missing.file);
    EXPECT_EQ(missing.message, "Help file is missing.");
  }
  std::filesystem::create_directory(work.path() / "Resources");
  testing::WriteFile(work.path() / "Resources" / "corvane.chm", "ITSF");
  const HelpChoice english = ChooseHelp(HelpLanguage::English, work.path());
  ASSERT_TRUE(english.file);
  EXPECT_EQ(*english.file, work.path() / "Resources" / "corvane.chm");
  EXPECT_FALSE(ChooseHelp(HelpLanguage::Russian, work.path()).file);
  EXPECT_EQ(HelpFilePath(HelpLanguage::Russian), "Resources/corvane_ru.chm");
}

}  // namespace
}  // namespace talvero
