#include "station_sim/station_input.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "station/station_line.hpp"
#include "station_sim/station_line_tracker.hpp"

namespace talvero {
namespace {

using Kind = StationInput::Kind;

const std::string kEvent = "5077 181234E13001005";
const std::string kHeartbeat(kHeartbeatLine);

std::vector<StationInput> FeedInPieces(const std::string& bytes, size_t piece) {
  StationLineSplitter splitter;
  std::vector<StationInput> out;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    for (StationInput& input : splitter.Feed(std::string_view(bytes).substr(at, piece))) {
      out.push_back(std::move(input));
    }
  }
  EXPECT_TRUE(splitter.Pending().empty());
  return out;
}

TEST(StationLineSplitter, LinesComeWholeWhateverTheChunks) {
  const std::string wire = kEvent + kDc4 + kHeartbeat + kDc4 + kAck + kEvent + kDc4 + kDc4;
  const std::vector<StationInput> expected = {
      {Kind::Line, kEvent}, {Kind::Line, kHeartbeat}, {Kind::Ack, ""},
      {Kind::Line, kEvent}, {Kind::Line, ""},
  };
  for (const size_t piece : {1, 2, 7, 20, 21, 22, 1000}) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(FeedInPieces(wire, piece), expected);
  }
}

TEST(StationLineSplitter, AnUnfinishedLineWaitsForItsTerminator) {
  StationLineSplitter splitter;
  EXPECT_TRUE(splitter.Feed("5077 18").empty());
  EXPECT_EQ(splitter.Pending(), "5077 18");
  // 0x06 inside a line is one of its bytes, not an answer.
  EXPECT_TRUE(splitter.Feed("\x06").empty());
  const auto out = splitter.Feed(std::string("1234") + kDc4);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], (StationInput{Kind::Line,
                                  "5077 18\x06"
                                  "1234"}));
}

TEST(StationLineSplitter, EndlessBytesWithoutTerminatorAreCutOff) {
  StationLineSplitter splitter;
  const std::string flood(StationLineSplitter::kMaxLineLength + 50, 'x');
  const auto out = splitter.Feed(flood + kDc4 + kEvent + kDc4);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].kind, Kind::Overlong);
  EXPECT_EQ(out[0].text.size(), StationLineSplitter::kMaxLineLength);
  EXPECT_EQ(out[1], (StationInput{Kind::Line, kEvent}));
  EXPECT_TRUE(splitter.Pending().empty());
}

class StationLineTrackerTest : public ::testing::Test {
 protected:
  LineVerdict Line(const std::string& line) {
    now += std::chrono::milliseconds(500);
    return tracker.OnLine(line, now);
  }

  StationLineTracker tracker;
  StationLineTracker::TimePoint now{};
};

TEST_F(StationLineTrackerTest, HeartbeatsAreToldApartByTheAt) {
  EXPECT_TRUE(Line(kHeartbeat).heartbeat);
  EXPECT_TRUE(Line("1011           @    ").heartbeat);
  EXPECT_TRUE(Line("anything @ else").heartbeat);
  EXPECT_FALSE(Line("1011").heartbeat);
  EXPECT_FALSE(Line(kEvent).heartbeat);
  EXPECT_EQ(tracker.Counters().heartbeats, 3u);
  EXPECT_EQ(tracker.Counters().newEvents, 2u);
}

TEST_F(StationLineTrackerTest, AnEqualLineIsAResendOnlyWhileUnanswered) {
  const std::string other = "5077 189999R13001005";
  EXPECT_FALSE(Line(kEvent).duplicate);
  EXPECT_TRUE(Line(kEvent).duplicate);  // nothing went back: the receiver wrote its head again
  EXPECT_TRUE(Line(kEvent).duplicate);
  tracker.OnAnswerWritten();
  EXPECT_FALSE(Line(kEvent).duplicate);  // answered: the same event once more, the next line
  EXPECT_FALSE(Line(other).duplicate);
  tracker.OnHeartbeatSent();  // the receiver takes the station's heartbeat as an answer
  EXPECT_FALSE(Line(other).duplicate);
  EXPECT_TRUE(Line(other).duplicate);
  EXPECT_FALSE(Line(kHeartbeat).duplicate);
  EXPECT_TRUE(Line(kHeartbeat).duplicate);

  const StationCounters& c = tracker.Counters();
  EXPECT_EQ(c.lines, 9u);
  EXPECT_EQ(c.duplicates, 4u);
  EXPECT_EQ(c.heartbeats, 2u);
  EXPECT_EQ(c.newEvents, 4u);
  EXPECT_EQ(c.answers, 1u);
  EXPECT_EQ(c.heartbeatsSent, 1u);
}

TEST_F(StationLineTrackerTest, LinesPerSecondRunFromTheFirstLineToTheLast) {
  EXPECT_EQ(tracker.LinesPerSecond(), 0);
  Line(kEvent);
  EXPECT_EQ(tracker.LinesPerSecond(), 0);
  for (int i = 0; i < 4; ++i) {
    tracker.OnAnswerWritten();
    Line(kEvent);  // every 500 ms
  }
  EXPECT_DOUBLE_EQ(tracker.LinesPerSecond(), 2.0);
}

}  // namespace
}  // namespace talvero
