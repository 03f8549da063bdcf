#include "station/comm_trouble_data.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/settings.hpp"
#include "station/comm_trouble_limits.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using testing::ReadFile;
using testing::RecordingLogger;
using testing::TempDir;
using testing::WriteFile;

const CommTrLimit kDefaults{15, 60, 240};

class CommTrDataTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path file = dir.path() / "ctdata.dat";
  std::vector<CommTrLimit> limits = std::vector<CommTrLimit>(kUnitCount, kDefaults);
  RecordingLogger log;
};

TEST_F(CommTrDataTest, SaveWritesOnlyWhatDiffersFromTheDefaults) {
  limits[0x1A][0] = 30;
  limits[0x1A][2] = 0;
  limits[5][1] = 90;
  limits[0xFFFF][0] = -3;
  ASSERT_TRUE(SaveCommTrData(file, limits, kDefaults, log));
  EXPECT_EQ(ReadFile(file), "Comm Troubles\r\n5:2:90\r\n26:1:30\r\n26:3:0\r\n65535:1:-3\r\n");
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(CommTrDataTest, SaveWithNothingDifferentWritesTheFirstLineOnly) {
  WriteFile(file, "old content that must go\r\n");
  ASSERT_TRUE(SaveCommTrData(file, limits, kDefaults, log));
  EXPECT_EQ(ReadFile(file), "Comm Troubles\r\n");
}

TEST_F(CommTrDataTest, AChangedDefaultLeavesEditedUnitsToBeSaved) {
  Settings settings;
  InitCommTrLimits(limits, settings);
  limits[7][0] = 30;
  ChangeCommTrDefault(settings, limits, 1, 20);
  ASSERT_TRUE(SaveCommTrData(file, limits, CommTrDefaults(settings), log));
  EXPECT_EQ(ReadFile(file), "Comm Troubles\r\n7:1:30\r\n");
}

TEST_F(CommTrDataTest, SaveIntoAMissingFolderReportsToTheErrorsLog) {
  file = dir.path() / "Resources" / "ctdata.dat";
  EXPECT_FALSE(SaveCommTrData(file, limits, kDefaults, log));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].kind, RecordingLogger::Kind::ErrorText);
  EXPECT_NE(log.entries[0].text.find("ctdata.dat"), std::string::npos);
}

TEST_F(CommTrDataTest, WhatIsSavedIsLoadedBack) {
  limits[0][0] = 1;
  limits[300][1] = 9999;
  limits[65535][2] = 0;
  const std::vector<CommTrLimit> saved = limits;
  ASSERT_TRUE(SaveCommTrData(file, limits, kDefaults, log));
  std::vector<CommTrLimit> loaded(kUnitCount, kDefaults);
  LoadCommTrData(file, loaded);
  EXPECT_EQ(loaded, saved);
}

TEST_F(CommTrDataTest, AMissingFileChangesNothing) {
  LoadCommTrData(file, limits);
  EXPECT_EQ(limits, std::vector<CommTrLimit>(kUnitCount, kDefaults));
}

TEST_F(CommTrDataTest, CurrentLayout) {
  WriteFile(file,
            "Comm Troubles\r\n"
            "26:1:30\r\n"
            "70000:2:31\r\n"  // no such unit: taken as unit 0
            "-4:3:32\r\n"
            "5:4:30\r\n"  // no such level
            "5:1\r\n"     // not three parts
            "5:1:2:3\r\n"
            "\r\n"
            "7:2:-5\n"  // a lone LF ends a line too
            " 8 : 3 : 45 \r\n"
            "9:1:+12");  // the last line needs no terminator
  LoadCommTrData(file, limits);
  std::vector<CommTrLimit> expected(kUnitCount, kDefaults);
  expected[26][0] = 30;
  expected[0][1] = 31;
  expected[0][2] = 32;
  expected[7][1] = -5;
  expected[8][2] = 45;
  expected[9][0] = 12;
  EXPECT_EQ(limits, expected);
}

TEST_F(CommTrDataTest, OlderLayoutHoldsThreeBareValuesPerUnit) {
  WriteFile(file, "20\r\n90\r\n300\r\n21\r\n0\r\n");
  LoadCommTrData(file, limits);
  std::vector<CommTrLimit> expected(kUnitCount, kDefaults);
  expected[0] = {20, 90, 300};
  expected[1] = {21, 0, 240};
  EXPECT_EQ(limits, expected);
}

TEST_F(CommTrDataTest, TheFirstLineSwitchesAnOlderFileToTheCurrentLayout) {
  WriteFile(file, "20\r\n90\r\nComm Troubles\r\n3:1:44\r\n");
  LoadCommTrData(file, limits);
  EXPECT_EQ(limits[0], (CommTrLimit{20, 90, 240}));
  EXPECT_EQ(limits[3], (CommTrLimit{44, 60, 240}));
}

TEST_F(CommTrDataTest, ANumberThatCannotBeReadStopsTheReadWithAnError) {
  const char* const files[] = {
      "Comm Troubles\r\nab:1:30\r\n",
      "Comm Troubles\r\n5:x:30\r\n",
      "Comm Troubles\r\n5:1:\r\n",
      "Comm Troubles\r\n5:1:3 0\r\n",
      "Comm Troubles\r\n5:1:99999999999\r\n",
      "Comm Troubles\r\n5:1:0x1E\r\n",
      "20\r\nabc\r\n",
      "20\r\n\r\n90\r\n",
      "Comm Troubles\r\n6:1:30\r\n5:1:++3\r\n",
      "Comm Troubles\r\n5:1:+-3\r\n",
  };
  for (const char* content : files) {
    WriteFile(file, content);
    std::vector<CommTrLimit> loaded(kUnitCount, kDefaults);
    EXPECT_THROW(LoadCommTrData(file, loaded), std::runtime_error) << content;
    // Nothing of a broken file is taken.
    EXPECT_EQ(loaded, std::vector<CommTrLimit>(kUnitCount, kDefaults)) << content;
  }
}

TEST_F(CommTrDataTest, TheErrorNamesTheLine) {
  WriteFile(file, "Comm Troubles\r\n1:1:1\r\n5:x:30\r\n");
  try {
    LoadCommTrData(file, limits);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 3: 'x' is not a valid integer value"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace talvero
