#include "engine/custom_commands.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/bytes.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using testing::Bytes;
using testing::RecordingLogger;
using Kind = RecordingLogger::Kind;
using Lines = std::vector<std::string>;

TEST(ParseSLccLine, ReadsCaptionAndPayloadOfEachForm) {
  const struct {
    std::string line;
    bool valid;
    std::string caption;
    std::string payload;
  } cases[] = {
      {"Relay on=0x0101", true, "Relay on", Bytes({1, 1})},
      {"  Relay on \t=  0x0101 ", true, "Relay on", Bytes({1, 1})},
      {"Odd=0x123", true, "Odd", Bytes({0x01, 0x23})},
      {"Caps=0xaBcD", true, "Caps", Bytes({0xAB, 0xCD})},
      {"Quoted=\"AT+X\"", true, "Quoted", "AT+X"},
      {"Single='AT+X'", true, "Single", "AT+X"},
      {"Mixed=\"AT'", true, "Mixed", "\"AT'"},
      {"Inner=\" a \"", true, "Inner", " a "},
      {"Plain=abc", true, "Plain", "abc"},
      {"One=1", true, "One", "1"},
      {"X=0", true, "X", "0"},
      {"Eq=a=b", true, "Eq", "a=b"},
      {"Up=0X01", true, "Up", "0X01"},  // only a lower-case x makes hexadecimal digits
      {"Bad=0x0G", false, "", ""},
      {"Empty hex=0x", false, "", ""},
      {"Empty quotes=\"\"", false, "", ""},
      {"=0x02", false, "", ""},
      {"NoEquals", false, "", ""},
      {"Nothing=", false, "", ""},
      {"", false, "", ""},
      {"  =  ", false, "", ""},
  };
  for (const auto& c : cases) {
    const CustomCommandLine parsed = Parse_SLcc_Line(c.line);
    EXPECT_EQ(parsed.Valid, c.valid) << c.line;
    if (c.valid) {
      EXPECT_EQ(parsed.Caption, c.caption) << c.line;
      EXPECT_EQ(parsed.Payload, c.payload) << c.line;
    }
  }
}

class CustomCommandsFileTest : public ::testing::Test {
 protected:
  CustomCommands Load(std::string_view text) {
    testing::WriteFile(path(), text);
    CustomCommands custom;
    custom.AppendCustomCmdToPopupMenu(path(), log);
    return custom;
  }
  std::filesystem::path path() const { return home.path() / "Talvero_cc.ini"; }

  testing::TempDir home;
  RecordingLogger log;
};

TEST_F(CustomCommandsFileTest, OnlyValidLinesBecomeItemsAndTheOthersAreReported) {
  const CustomCommands custom = Load("A=0x01\r\n\r\n=0x02\r\nB=0x0G\r\nC=\"\"\r\n");
  ASSERT_EQ(custom.MenuItems().size(), 1u);
  EXPECT_EQ(custom.MenuItems()[0].Caption, "A");
  EXPECT_EQ(custom.MenuItems()[0].LineIndex, 0u);
  EXPECT_TRUE(custom.HasSubmenu());
  EXPECT_EQ(log.Texts(Kind::Imp), (Lines{
                                      "!! CustomCmd (Talvero_cc.ini) Invalid Line[2]: ",
                                      "!! CustomCmd (Talvero_cc.ini) Invalid Line[3]: =0x02",
                                      "!! CustomCmd (Talvero_cc.ini) Invalid Line[4]: B=0x0G",
                                      "!! CustomCmd (Talvero_cc.ini) Invalid Line[5]: C=\"\"",
                                  }));
}

TEST_F(CustomCommandsFileTest, EveryLineEndCountsAndItemsKeepTheirLineIndex) {
  const CustomCommands custom = Load("A=1\rB=2\nC=3\r\n\nD=4");
  Lines captions;
  std::vector<size_t> indexes;
  for (const CustomMenuItem& item : custom.MenuItems()) {
    captions.push_back(item.Caption);
    indexes.push_back(item.LineIndex);
  }
  EXPECT_EQ(captions, (Lines{"A", "B", "C", "D"}));
  EXPECT_EQ(indexes, (std::vector<size_t>{0, 1, 2, 4}));
  EXPECT_EQ(custom.Line(4).Payload, "4");
  EXPECT_FALSE(custom.Line(3).Valid);
  EXPECT_FALSE(custom.Line(5).Valid);
}

TEST_F(CustomCommandsFileTest, AMissingFileGivesNoSubmenuAndOneOfInvalidLinesAnEmptyOne) {
  CustomCommands custom;
  custom.AppendCustomCmdToPopupMenu(path(), log);
  EXPECT_FALSE(custom.HasSubmenu());
  EXPECT_TRUE(log.entries.empty());

  const CustomCommands invalid = Load("nothing\n=x\n");
  EXPECT_TRUE(invalid.HasSubmenu());
  EXPECT_TRUE(invalid.MenuItems().empty());

  EXPECT_FALSE(Load("").HasSubmenu());
}

TEST_F(CustomCommandsFileTest, AnUnreadableFileIsReported) {
  std::filesystem::create_directory(path());
  CustomCommands custom;
  custom.AppendCustomCmdToPopupMenu(path(), log);
  EXPECT_FALSE(custom.HasSubmenu());
  EXPECT_EQ(log.ErrNames(), Lines{"AppendCustomCmdToPopupMenu"});
}

TEST_F(CustomCommandsFileTest, AnyBytesLoad) {
  std::string binary;
  for (int i = 0; i < 256; ++i) {
    binary.push_back(static_cast<char>(i));
  }
  std::string many;
  for (int i = 0; i < 5000; ++i) {
    many += "Cmd" + std::to_string(i) + "=0x" + std::to_string(i % 100) + "\n";
  }
  const std::string longLine = "Long=" + std::string(1 << 20, 'z');
  for (const std::string& text : {binary, binary + binary, many, longLine, "\0=\0\0"s}) {
    log.Clear();
    const CustomCommands custom = Load(text);
    for (const CustomMenuItem& item : custom.MenuItems()) {
      EXPECT_TRUE(custom.Line(item.LineIndex).Valid);
      EXPECT_FALSE(item.Caption.empty());
    }
    for (const std::string& line : log.Texts(Kind::Imp)) {
      // The report shows at most the first 50 bytes of the line.
      EXPECT_LE(line.size(),
                std::string("!! CustomCmd (Talvero_cc.ini) Invalid Line[5000]: ").size() + 50);
    }
  }
  EXPECT_EQ(Load(many).MenuItems().size(), 5000u);
  EXPECT_EQ(Load(longLine).Line(0).Payload.size(), size_t{1} << 20);
}

}  // namespace
}  // namespace talvero
