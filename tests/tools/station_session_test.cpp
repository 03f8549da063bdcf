#include "station_sim/station_session.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "station/station_line.hpp"

namespace talvero {
namespace {

const std::string kEvent = "5077 181234E13001005";

// The session on one end of a socket pair; the test plays the receiver on the
// other. The bounds are short spans of real time; the checks are on bytes and
// counts only.
class StationSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0);
    out_ = std::fopen("/dev/null", "w");
    ASSERT_NE(out_, nullptr);
  }
  void TearDown() override {
    if (fds_[1] >= 0) {
      close(fds_[1]);
    }
    std::fclose(out_);
  }

  // Runs a session until it stops by itself, writing wire to it first.
  StationSummary Run(StationOptions options, const std::string& wire) {
    options.quiet = true;
    boost::asio::io_context io;
    StationSession session(io, fds_[0], options, out_);
    EXPECT_EQ(write(fds_[1], wire.data(), wire.size()), static_cast<ssize_t>(wire.size()));
    session.Start();
    io.run();
    return session.Summary();
  }

  // What the session wrote back, read once it has closed its end.
  std::string Answers() {
    std::string got;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(fds_[1], buffer, sizeof buffer)) > 0) {
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

  int fds_[2] = {-1, -1};
  std::FILE* out_ = nullptr;
};

TEST_F(StationSessionTest, EachLineIsAnsweredAndCountStops) {
  StationOptions options;
  options.count = 2;
  const StationSummary s =
      Run(options, kEvent + kDc4 + std::string(kHeartbeatLine) + kDc4 + kEvent + kDc4);
  EXPECT_EQ(s.stopReason, "count");
  EXPECT_EQ(s.counters.lines, 3u);
  EXPECT_EQ(s.counters.heartbeats, 1u);
  EXPECT_EQ(s.counters.newEvents, 2u);
  EXPECT_EQ(s.counters.answers, 3u);
  EXPECT_EQ(Answers(), "\x06\x06\x06");
}

TEST_F(StationSessionTest, LinesPastTheCountAreNeitherCountedNorAnswered) {
  StationOptions options;
  options.count = 1;
  options.answer = StationAnswer::Nak;
  const StationSummary s = Run(options, kEvent + kDc4 + "5077 181234E13001006" + kDc4);
  EXPECT_EQ(s.counters.lines, 1u);
  EXPECT_EQ(Answers(), "\x15");
}

TEST_F(StationSessionTest, UnansweredLinesComeAgainAsResends) {
  StationOptions options;
  options.answer = StationAnswer::None;
  options.durationSeconds = 0.1;
  const StationSummary s = Run(options, kEvent + kDc4 + kEvent + kDc4 + kEvent + kDc4);
  EXPECT_EQ(s.stopReason, "duration");
  EXPECT_EQ(s.counters.lines, 3u);
  EXPECT_EQ(s.counters.duplicates, 2u);
  EXPECT_EQ(s.counters.answers, 0u);
  EXPECT_EQ(Answers(), "");
}

TEST_F(StationSessionTest, HeartbeatsGoOutAndTheirAnswersAreCounted) {
  StationOptions options;
  options.heartbeatSeconds = 0.01;
  options.durationSeconds = 0.2;
  const StationSummary s = Run(options, std::string(1, kAck));
  EXPECT_EQ(s.counters.heartbeatAcks, 1u);
  ASSERT_GE(s.counters.heartbeatsSent, 1u);
  const std::string heartbeat = std::string(kHeartbeatLine) + kDc4;
  const std::string got = Answers();
  ASSERT_EQ(got.size(), heartbeat.size() * s.counters.heartbeatsSent);
  EXPECT_EQ(got.substr(0, heartbeat.size()), heartbeat);
}

TEST_F(StationSessionTest, AClosedLineStopsTheSessionAsFailed) {
  close(fds_[1]);
  fds_[1] = -1;
  boost::asio::io_context io;
  StationOptions options;
  options.quiet = true;
  StationSession session(io, fds_[0], options, out_);
  session.Start();
  io.run();
  EXPECT_TRUE(session.Failed());
  EXPECT_EQ(session.Summary().stopReason, "line closed");
}

TEST_F(StationSessionTest, ASignalWithNothingToSendEndsTheSession) {
  StationOptions options;
  options.quiet = true;
  boost::asio::io_context io;
  StationSession session(io, fds_[0], options, out_);
  session.Start();
  io.poll();
  std::raise(SIGTERM);
  io.run_for(std::chrono::seconds(5));
  EXPECT_TRUE(io.stopped());
  EXPECT_EQ(session.Summary().stopReason, "signal");
}

}  // namespace
}  // namespace talvero
