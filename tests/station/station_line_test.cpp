#include "station/station_line.hpp"

#include <gtest/gtest.h>

#include "station/station_queue.hpp"

namespace talvero {
namespace {

TEST(StationLine, BuildersGiveTheReceiverFormat) {
  struct Case {
    StationLine line;
    std::string expected;
  };
  const Case cases[] = {
      {AlarmEventLine(1, 1, "1234", "E130", "01", "005"), "5011 181234E13001005"},
      {AlarmEventLine(42, 9, "00AF", "R401", "12", "999"), "5429 1800AFR40112999"},
      {CommTroubleLine(7, 7, "1234", 2), "5077 181234E35000002"},
      {CommTroubleLine(99, 1, "FFFF", 3), "5991 18FFFFE35000003"},
      {CommRestoreLine(7, 7, "1234"), "5077 181234R35000000"},
      {CommRestoreLine(5, 3, "12G4"), "5053 1812G4R35000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.line, c.expected);
    EXPECT_EQ(c.line.size(), 20u) << c.expected;
    EXPECT_FALSE(IsHeartbeat(c.line)) << c.expected;
  }
}

TEST(StationLine, HeartbeatIsTwentyCharactersWithTheOnlyAt) {
  const std::string expected =
      std::string("1011") + std::string(11, ' ') + "@" + std::string(4, ' ');
  EXPECT_EQ(kHeartbeatLine, expected);
  EXPECT_TRUE(IsHeartbeat(kHeartbeatLine));
}

TEST(StationQueue, ALoneHeartbeatCountsAsEmpty) {
  const StationLine event = "5077 181234E13001005";
  const StationLine beat(kHeartbeatLine);
  struct Case {
    StationQueue queue;
    size_t unsent;
  };
  const Case cases[] = {
      {{}, 0}, {{beat}, 0}, {{event}, 1}, {{beat, event}, 2}, {{beat, beat}, 2}, {{event, beat}, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnsentLineCount(c.queue), c.unsent) << c.queue.size();
  }
}

TEST(StationQueue, ServiceStopNote) {
  EXPECT_EQ(UnsentLinesNote(2),
            "There are 2 unsent messages in Internal Buffer.\r\nUnsent messages will be lost.\r\n");
}

}  // namespace
}  // namespace talvero
