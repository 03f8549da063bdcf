#include "config/rewrite_settings_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_fixture.hpp"

namespace talvero {
namespace {

using testing::CrLfLines;
using testing::kDefaultFile;
using testing::ReadFile;
using testing::SettingsFixture;
using testing::WriteFile;

class RewriteSettingsFile : public SettingsFixture {};

TEST_F(RewriteSettingsFile, CreatesTheDefaultFileWhenNoneExists) {
  EXPECT_TRUE(RewriteSettingsFile_Old2New(ini, log));
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(RewriteSettingsFile, GivesSevenBareValuesTheirKeysWhateverTheLineEnds) {
  const std::string expected = CrLfLines({
      "TcpUdpSrvPort=888",
      "SerialPort=COM2",
      "CommTrouble1=20",
      "CommTrouble2=90",
      "CommTrouble3=300",
      "CommTrStartUpDelay=5",
      "PingInvToMonitSoft=45",
      "EncrMarker=0",
      "AutoStartUp=0",
      "SystemTray=0",
      "PlaySounds=0",
      "ReceiverNumber=7",
      "LineNumber=7",
      "EncryptionKey=9873",
  });
  for (const char* old : {
           "888\r\nCOM2\r\n20\r\n90\r\n300\r\n5\r\n45\r\n",
           "888\nCOM2\n20\n90\n300\n5\n45",
           "888\rCOM2\r20\r90\r300\r5\r45\r",
       }) {
    WriteFile(ini, old);
    EXPECT_TRUE(RewriteSettingsFile_Old2New(ini, log));
    EXPECT_EQ(ReadFile(ini), expected);
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(RewriteSettingsFile, CompletesElevenAndThirteenLinesWithTheBuiltInValues) {
  const std::vector<std::string> eleven{
      "TcpUdpSrvPort=4000", "SerialPort=COM3",      "CommTrouble1=1",       "CommTrouble2=2",
      "CommTrouble3=3",     "CommTrStartUpDelay=0", "PingInvToMonitSoft=0", "EncrMarker=1",
      "AutoStartUp=1",      "SystemTray=1",         "PlaySounds=1",
  };
  std::vector<std::string> thirteen = eleven;
  thirteen.push_back("ReceiverNumber=12");
  thirteen.push_back("LineNumber=3");

  std::vector<std::string> fromEleven = eleven;
  fromEleven.insert(fromEleven.end(), {"ReceiverNumber=7", "LineNumber=7", "EncryptionKey=9873"});
  WriteFile(ini, CrLfLines(eleven));
  EXPECT_TRUE(RewriteSettingsFile_Old2New(ini, log));
  EXPECT_EQ(ReadFile(ini), CrLfLines(fromEleven));

  std::vector<std::string> fromThirteen = thirteen;
  fromThirteen.push_back("EncryptionKey=9873");
  WriteFile(ini, CrLfLines(thirteen));
  EXPECT_TRUE(RewriteSettingsFile_Old2New(ini, log));
  EXPECT_EQ(ReadFile(ini), CrLfLines(fromThirteen));
}

TEST_F(RewriteSettingsFile, LeavesEveryOtherLayoutAsItIs) {
  const std::string garbage("\x00\xff\x01=\x80\r\x00\n", 8);
  for (const std::string& old : {
           std::string("888\nCOM2\n20\n90\n300\n5\nPing=45\n"),  // 7 lines, one with "="
           std::string("1\n2\n3\n4\n5\n6\n"),
           std::string("1\n2\n3\n4\n5\n6\n7\n8\n"),
           std::string(""),
           std::string("TcpUdpSrvPort=1\n\n\n\n\n\n\n\n\n\n\n\n"),  // 12 lines
           kDefaultFile,
           kDefaultFile + "Extra=1\r\n",
           kDefaultFile.substr(0, kDefaultFile.size() - 2),  // no final line end
           garbage,
       }) {
    WriteFile(ini, old);
    EXPECT_TRUE(RewriteSettingsFile_Old2New(ini, log));
    EXPECT_EQ(ReadFile(ini), old);
  }
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(RewriteSettingsFile, ReportsAFileThatCannotBeCreatedOrRead) {
  const auto nowhere = home.path() / "missing" / "Talvero.ini";
  EXPECT_FALSE(RewriteSettingsFile_Old2New(nowhere, log));
  EXPECT_FALSE(std::filesystem::exists(nowhere));

  std::filesystem::create_directory(ini);  // a folder where the file belongs
  EXPECT_FALSE(RewriteSettingsFile_Old2New(ini, log));
  EXPECT_EQ(log.ErrNames(), (std::vector<std::string>{"RewriteSettingsFile_Old2New",
                                                      "RewriteSettingsFile_Old2New"}));
}

}  // namespace
}  // namespace talvero
