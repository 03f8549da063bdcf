#include "unit_sim/load_run.hpp"

#include <gtest/gtest.h>

#include "fake_receiver.hpp"
#include "protocol/frame_builders.hpp"
#include "support/decrypted.hpp"
#include "support/frame_time.hpp"

namespace talvero {
namespace {

using testing::Decrypted;
using testing::FakeReceiver;
using testing::kNow;

// The bounds of these runs are short spans of real time; the checks are on
// counts only.
UnitOptions LoadOptions(uint16_t port, UnitTransport transport) {
  UnitOptions o;
  o.mode = UnitMode::Load;
  o.port = port;
  o.transport = transport;
  o.units = 3;
  o.unitNr = 0x0100;
  o.durationSeconds = 0.2;
  o.timeoutSeconds = 2;
  return o;
}

LoadSummary RunLoad(const UnitOptions& options) {
  boost::asio::io_context io;
  LoadRun run(io, options);
  run.Start();
  io.run();
  return run.Summary();
}

std::string AckAll(const std::string& frame, int) {
  return Ack(frame, kNow);
}

TEST(LoadRun, EveryFrameOfEveryUnitIsAnsweredOverTcpAndUdp) {
  FakeReceiver receiver(AckAll);
  for (const UnitTransport transport : {UnitTransport::Tcp, UnitTransport::Udp}) {
    SCOPED_TRACE(transport == UnitTransport::Tcp ? "tcp" : "udp");
    const uint16_t port = transport == UnitTransport::Tcp ? receiver.TcpPort() : receiver.UdpPort();
    const LoadSummary s = RunLoad(LoadOptions(port, transport));
    const LoadCounters& c = s.counters;
    EXPECT_GE(c.sent, 3u);
    EXPECT_EQ(c.acks, c.sent);
    EXPECT_EQ(c.nacks + c.timeouts + c.badAnswers + c.lost + c.sendErrors, 0u);
    EXPECT_EQ(s.connected, 3u);
    EXPECT_EQ(s.unitsAnswered, 3u);
    EXPECT_EQ(s.heldAtEnd, 3u);
    EXPECT_EQ(s.latency.count, c.sent);
    EXPECT_GT(s.framesPerSecond, 0);
  }
}

TEST(LoadRun, NacksAndStrayFramesAreCountedApart) {
  // Every third frame is refused; every other answer is preceded by a frame
  // that answers nothing (another unit's Ack). Answers echo the decrypted header.
  FakeReceiver receiver([](const std::string& sealed, int index) {
    const std::string frame = Decrypted(sealed);
    if (index % 3 == 2) {
      return Nack(frame, kNow);
    }
    std::string stray = frame;
    stray[4] = static_cast<char>(stray[4] ^ 1);
    return (index % 2 == 0 ? Ack(stray, kNow) : std::string()) + Ack(frame, kNow);
  });
  UnitOptions options = LoadOptions(receiver.TcpPort(), UnitTransport::Tcp);
  options.kind = UnitFrameKind::AlarmEvent;
  options.keyText = "9873";
  const LoadSummary s = RunLoad(options);
  const LoadCounters& c = s.counters;
  EXPECT_GT(c.nacks, 0u);
  EXPECT_GT(c.badAnswers, 0u);
  EXPECT_EQ(c.acks + c.nacks, c.sent);
  EXPECT_EQ(c.timeouts, 0u);
}

TEST(LoadRun, ASilentReceiverEndsInTimeOuts) {
  FakeReceiver receiver([](const std::string&, int) { return std::string(); });
  UnitOptions options = LoadOptions(receiver.UdpPort(), UnitTransport::Udp);
  options.timeoutSeconds = 0.05;
  const LoadSummary s = RunLoad(options);
  EXPECT_GE(s.counters.sent, 3u);
  EXPECT_EQ(s.counters.timeouts, s.counters.sent);
  EXPECT_EQ(s.counters.acks, 0u);
  EXPECT_EQ(s.unitsAnswered, 0u);
}

TEST(LoadRun, AConnectionTheReceiverClosesLosesItsFrame) {
  FakeReceiver receiver(AckAll, true);
  const LoadSummary s = RunLoad(LoadOptions(receiver.TcpPort(), UnitTransport::Tcp));
  EXPECT_EQ(s.counters.sent, 3u);
  EXPECT_EQ(s.counters.lost, 3u);
  EXPECT_EQ(s.counters.disconnects, 3u);
  EXPECT_EQ(s.heldAtEnd, 0u);
}

TEST(LoadRun, NoReceiverMeansNoConnection) {
  uint16_t closedPort = 0;
  {
    FakeReceiver gone(AckAll);
    closedPort = gone.TcpPort();
  }
  const LoadSummary s = RunLoad(LoadOptions(closedPort, UnitTransport::Tcp));
  EXPECT_EQ(s.connected, 0u);
  EXPECT_EQ(s.counters.connectFailures, 3u);
  EXPECT_EQ(s.counters.sent, 0u);
}

}  // namespace
}  // namespace talvero
