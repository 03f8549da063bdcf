#include "platform/network_transports.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "log/separated.hpp"
#include "platform/answer_batch.hpp"
#include "platform/asio.hpp"
#include "run_until.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using boost::asio::ip::address_v4;
using boost::asio::ip::tcp;
using boost::asio::ip::udp;
using testing::RecordingLogger;
using testing::RunFor;
using testing::RunUntil;
using Kind = RecordingLogger::Kind;

// A stale route must have expired, or refuse to send.
bool RouteRefuses(const StoredRoute& stored) {
  const Route route = stored.lock();
  if (!route) {
    return true;
  }
  try {
    route->Send("stale");
  } catch (const std::runtime_error&) {
    return true;
  }
  return false;
}

// A port free for TCP and for UDP on all addresses at this moment.
uint16_t FreePort(boost::asio::io_context& io) {
  for (;;) {
    tcp::acceptor probe(io, tcp::endpoint(address_v4::any(), 0));
    const uint16_t port = probe.local_endpoint().port();
    udp::socket udpProbe(io, udp::v4());
    boost::system::error_code ec;
    udpProbe.bind(udp::endpoint(address_v4::any(), port), ec);
    if (!ec) {
      return port;
    }
  }
}

// What the frame handler saw for one frame. The route is kept weakly, the way
// a unit record keeps it.
struct Received {
  StoredRoute route;
  TransportKind kind;
  std::string peerAddress;
  uint16_t peerPort;
  std::string frame;
  bool lockHeld;
};

class NetworkTransportsTest : public ::testing::Test {
 protected:
  NetworkTransportsTest() {
    settings.TcpUdpSrvPort = FreePort(io);
    transports.SetFrameHandler([this](const Route& route, std::string_view frame) {
      frames.push_back({route, route->Kind(), route->PeerAddress(), route->PeerPort(),
                        std::string(frame), LockHeldElsewhere()});
      if (react) {
        react(route, frame);
      }
    });
  }

  // Asks from another thread, since a thread may not probe a mutex it holds.
  bool LockHeldElsewhere() {
    return !std::async(std::launch::async, [this] {
              if (!engineLock.try_lock()) {
                return false;
              }
              engineLock.unlock();
              return true;
            }).get();
  }

  tcp::socket Connect(uint16_t port) {
    tcp::socket client(io);
    client.connect(tcp::endpoint(address_v4::loopback(), port));
    return client;
  }
  tcp::socket Connect() { return Connect(settings.TcpUdpSrvPort); }

  // Connects and waits until the transports announced the connection.
  tcp::socket ConnectAndWait() {
    auto client = Connect();
    const std::string announced =
        Separated(fmt::format("Connected from 127.0.0.1:{}", client.local_endpoint().port()));
    EXPECT_TRUE(RunUntil(io, [&] { return Logged(Kind::All, announced); }));
    return client;
  }

  udp::socket UdpClient() {
    udp::socket client(io, udp::endpoint(address_v4::loopback(), 0));
    client.non_blocking(true);
    return client;
  }
  void SendDatagram(udp::socket& client, std::string_view data) {
    client.send_to(boost::asio::buffer(data.data(), data.size()),
                   udp::endpoint(address_v4::loopback(), settings.TcpUdpSrvPort));
  }

  // Runs the loop until the client holds n bytes (or the limit passes).
  std::string ReadTcp(tcp::socket& client, size_t n) {
    std::string got;
    client.non_blocking(true);
    RunUntil(io, [&] {
      std::array<char, 65536> buffer;
      boost::system::error_code ec;
      const size_t length = client.read_some(boost::asio::buffer(buffer), ec);
      got.append(buffer.data(), length);
      return got.size() >= n;
    });
    return got;
  }
  std::string ReadUdp(udp::socket& client) {
    std::string got;
    RunUntil(io, [&] {
      std::array<char, 65536> buffer;
      udp::endpoint from;
      boost::system::error_code ec;
      const size_t length = client.receive_from(boost::asio::buffer(buffer), from, 0, ec);
      got.assign(buffer.data(), length);
      return !ec;
    });
    return got;
  }
  // What the client has received by now, after the loop had a short while.
  std::string Pending(tcp::socket& client) {
    RunFor(io, std::chrono::milliseconds(20));
    client.non_blocking(true);
    std::array<char, 65536> buffer;
    boost::system::error_code ec;
    const size_t length = client.read_some(boost::asio::buffer(buffer), ec);
    return std::string(buffer.data(), length);
  }

  bool Logged(Kind kind, const std::string& text) const {
    return std::find(log.entries.begin(), log.entries.end(), RecordingLogger::Entry{kind, text}) !=
           log.entries.end();
  }
  bool WaitFrames(size_t n) {
    return RunUntil(io, [&] { return frames.size() >= n; });
  }
  void AnswerEveryFrame() {
    react = [](const Route& route, std::string_view frame) {
      route->Send("re:" + std::string(frame));
    };
  }

  boost::asio::io_context io;
  RecordingLogger log;
  std::mutex engineLock;
  Settings settings;
  std::vector<Received> frames;
  std::function<void(const Route&, std::string_view)> react;
  NetworkTransports transports{io, log, engineLock, settings};
};

TEST_F(NetworkTransportsTest, ActivationLogsBothListenLinesForTheSettingPort) {
  transports.ActivateSrvPort(true);
  const uint16_t port = settings.TcpUdpSrvPort;
  EXPECT_EQ(log.entries, (std::vector<RecordingLogger::Entry>{
                             {Kind::All, fmt::format("Server Listen TCP Port {}", port)},
                             {Kind::All, fmt::format("Server Listen UDP Port {}", port)},
                         }));
}

TEST_F(NetworkTransportsTest, UnforcedActivationWaitsForTheEndOfStartUp) {
  transports.ActivateSrvPort(false);
  EXPECT_TRUE(log.entries.empty());
  tcp::socket client(io);
  boost::system::error_code ec;
  client.connect(tcp::endpoint(address_v4::loopback(), settings.TcpUdpSrvPort), ec);
  EXPECT_EQ(ec, boost::asio::error::connection_refused);

  transports.SetStarted(true);
  transports.ActivateSrvPort(false);
  EXPECT_TRUE(Logged(Kind::All, fmt::format("Server Listen TCP Port {}", settings.TcpUdpSrvPort)));
}

TEST_F(NetworkTransportsTest, TcpFrameCarriesItsConnectionAndTheAnswerReturnsOnIt) {
  AnswerEveryFrame();
  transports.ActivateSrvPort(true);
  auto a = ConnectAndWait();
  auto b = ConnectAndWait();

  boost::asio::write(a, boost::asio::buffer(std::string("from A")));
  ASSERT_TRUE(WaitFrames(1));
  boost::asio::write(b, boost::asio::buffer(std::string("from B")));
  ASSERT_TRUE(WaitFrames(2));

  EXPECT_EQ(ReadTcp(a, 9), "re:from A");
  EXPECT_EQ(ReadTcp(b, 9), "re:from B");
  EXPECT_EQ(Pending(a), "");
  EXPECT_EQ(Pending(b), "");

  const uint16_t ports[] = {a.local_endpoint().port(), b.local_endpoint().port()};
  const char* texts[] = {"from A", "from B"};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(frames[i].frame, texts[i]);
    EXPECT_EQ(frames[i].kind, TransportKind::Tcp);
    EXPECT_EQ(frames[i].peerAddress, "127.0.0.1");
    EXPECT_EQ(frames[i].peerPort, ports[i]);
    EXPECT_TRUE(frames[i].lockHeld);
  }
  EXPECT_NE(frames[0].route.lock(), frames[1].route.lock());
  EXPECT_TRUE(log.ErrNames().empty());
}

TEST_F(NetworkTransportsTest, LargeTcpBurstIsOneFrame) {
  transports.ActivateSrvPort(true);
  auto client = ConnectAndWait();
  std::string burst(20000, '\0');
  for (size_t i = 0; i < burst.size(); ++i) {
    burst[i] = static_cast<char>(i * 7);
  }
  // Everything is in the receive queue before the loop gets to read any of it.
  boost::asio::write(client, boost::asio::buffer(burst));
  ASSERT_TRUE(WaitFrames(1));
  RunFor(io, std::chrono::milliseconds(20));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].frame, burst);
}

TEST_F(NetworkTransportsTest, ClosedConnectionsRouteNeverReachesTheNextConnection) {
  Route strongCopy;
  react = [&](const Route& route, std::string_view) {
    if (!strongCopy) {
      strongCopy = route;
    }
  };
  transports.ActivateSrvPort(true);
  auto first = ConnectAndWait();
  const uint16_t firstPort = first.local_endpoint().port();
  boost::asio::write(first, boost::asio::buffer(std::string("one")));
  ASSERT_TRUE(WaitFrames(1));
  const StoredRoute stale = frames[0].route;

  first.close();
  ASSERT_TRUE(RunUntil(io, [&] {
    return Logged(Kind::All, Separated(fmt::format("Disconnected from 127.0.0.1:{}", firstPort)));
  }));
  auto next = ConnectAndWait();
  boost::asio::write(next, boost::asio::buffer(std::string("two")));
  ASSERT_TRUE(WaitFrames(2));

  // Held by someone mid-send: the closed connection refuses.
  EXPECT_EQ(stale.lock(), strongCopy);
  try {
    strongCopy->Send("answer");
    ADD_FAILURE() << "send on a closed connection succeeded";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "connection closed");
  }
  // Held by nobody: the record's route has expired.
  strongCopy.reset();
  EXPECT_TRUE(stale.expired());
  EXPECT_EQ(Pending(next), "");
  // The live connection's own route still works.
  frames[1].route.lock()->Send("two back");
  EXPECT_EQ(ReadTcp(next, 8), "two back");
}

TEST_F(NetworkTransportsTest, ResetConnectionIsASocketErrorAndIsClosed) {
  transports.ActivateSrvPort(true);
  auto client = ConnectAndWait();
  const uint16_t port = client.local_endpoint().port();
  boost::asio::write(client, boost::asio::buffer(std::string("x")));
  ASSERT_TRUE(WaitFrames(1));
  // Linger 0 makes the close a reset.
  client.set_option(boost::asio::socket_base::linger(true, 0));
  client.close();

  const std::string error =
      Separated(fmt::format("Socket Error {} (127.0.0.1:{})", ECONNRESET, port));
  const std::string disconnect = Separated(fmt::format("Disconnected from 127.0.0.1:{}", port));
  ASSERT_TRUE(RunUntil(io, [&] { return Logged(Kind::All, disconnect); }));
  const auto texts = log.Texts(Kind::All);
  const auto at = std::find(texts.begin(), texts.end(), error);
  ASSERT_NE(at, texts.end());
  EXPECT_EQ(*std::next(at), disconnect);
  EXPECT_TRUE(frames[0].route.expired());
  EXPECT_TRUE(log.ErrNames().empty());
}

TEST_F(NetworkTransportsTest, UdpAnswersGoToTheSenderBeingHandled) {
  AnswerEveryFrame();
  transports.ActivateSrvPort(true);
  auto first = UdpClient();
  auto second = UdpClient();
  // Both wait in the socket before either is handled.
  SendDatagram(first, "one");
  SendDatagram(second, "two");
  ASSERT_TRUE(WaitFrames(2));

  EXPECT_EQ(ReadUdp(first), "re:one");
  EXPECT_EQ(ReadUdp(second), "re:two");
  EXPECT_EQ(frames[0].peerPort, first.local_endpoint().port());
  EXPECT_EQ(frames[1].peerPort, second.local_endpoint().port());
  for (const auto& received : frames) {
    EXPECT_EQ(received.kind, TransportKind::Udp);
    EXPECT_EQ(received.peerAddress, "127.0.0.1");
    EXPECT_TRUE(received.lockHeld);
  }
  // One binding, which now addresses the sender heard last.
  const Route binding = frames[0].route.lock();
  EXPECT_EQ(binding, frames[1].route.lock());
  binding->Send("later");
  EXPECT_EQ(ReadUdp(second), "later");
}

// The answers of one loop turn wait for the hook that runs once the turn's
// frames are all handled (where the station journal is made durable).
TEST_F(NetworkTransportsTest, AnswersOfATurnLeaveAfterTheHookThatFollowsTheirFrames) {
  std::vector<std::string> events;
  react = [&](const Route& route, std::string_view frame) {
    route->Send("re:" + std::string(frame));
    events.push_back("frame");
  };
  transports.SetBeforeAnswers([&] { events.push_back("before"); });
  transports.ActivateSrvPort(true);

  auto a = ConnectAndWait();
  auto b = ConnectAndWait();
  boost::asio::write(a, boost::asio::buffer(std::string("A")));
  boost::asio::write(b, boost::asio::buffer(std::string("B")));
  EXPECT_EQ(ReadTcp(a, 4), "re:A");
  EXPECT_EQ(ReadTcp(b, 4), "re:B");
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
            (std::vector<std::string>{"frame", "frame", "before"}));

  events.clear();
  auto first = UdpClient();
  auto second = UdpClient();
  SendDatagram(first, "one");
  SendDatagram(second, "two");
  EXPECT_EQ(ReadUdp(first), "re:one");
  EXPECT_EQ(ReadUdp(second), "re:two");
  EXPECT_EQ(events, (std::vector<std::string>{"frame", "frame", "before"}));

  // Outside a turn of frames an answer leaves at once, after the hook.
  events.clear();
  frames.back().route.lock()->Send("later");
  EXPECT_EQ(events, std::vector<std::string>{"before"});
  EXPECT_EQ(ReadUdp(second), "later");
}

// A turn with answers for more connections than a batch holds sends them in
// batches, each after the hook, instead of holding every answer to its end;
// unless early answers are refused (a journal sync is due), when all wait for
// the one hook at the turn's end.
TEST_F(NetworkTransportsTest, ALongTurnsAnswersLeaveInBatchesEachAfterTheHook) {
  for (const bool early : {true, false}) {
    SCOPED_TRACE(early ? "early answers allowed" : "early answers refused");
    std::vector<std::string> events;
    react = [&](const Route& route, std::string_view frame) {
      events.push_back("frame");
      route->Send("re:" + std::string(frame));
    };
    transports.SetBeforeAnswers([&] { events.push_back("before"); });
    transports.SetEarlyAnswers([early] { return early; });
    transports.ActivateSrvPort(true);
    constexpr size_t kUnits = AnswerBatch::kMaxHeld + 6;
    std::vector<tcp::socket> units;
    for (size_t u = 0; u < kUnits; ++u) {
      units.push_back(ConnectAndWait());
    }
    events.clear();
    for (auto& unit : units) {
      boost::asio::write(unit, boost::asio::buffer(std::string("x")));
    }
    // Every frame waits before the loop runs again, so one turn takes them all.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (auto& unit : units) {
      EXPECT_EQ(ReadTcp(unit, 4), "re:x");
    }
    std::vector<size_t> hooks;
    for (size_t at = 0; at < events.size(); ++at) {
      if (events[at] == "before") {
        hooks.push_back(at);
      }
    }
    const std::vector<size_t> expected =
        early ? std::vector<size_t>{AnswerBatch::kMaxHeld, kUnits + 1}
              : std::vector<size_t>{kUnits};
    EXPECT_EQ(hooks, expected);
  }
}

TEST_F(NetworkTransportsTest, UdpDatagramBeyondTheBufferIsDropped) {
  transports.ActivateSrvPort(true);
  auto client = UdpClient();
  SendDatagram(client, std::string(8193, 'x'));
  SendDatagram(client, "");
  SendDatagram(client, std::string(8192, 'y'));
  ASSERT_TRUE(WaitFrames(2));
  RunFor(io, std::chrono::milliseconds(20));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].frame, "");
  EXPECT_EQ(frames[1].frame, std::string(8192, 'y'));
}

TEST_F(NetworkTransportsTest, PortChangeClosesConnectionsAndReplacesTheUdpServer) {
  transports.SetStarted(true);
  transports.ActivateSrvPort(true);
  const uint16_t oldPort = settings.TcpUdpSrvPort;
  auto tcpClient = ConnectAndWait();
  const uint16_t clientPort = tcpClient.local_endpoint().port();
  boost::asio::write(tcpClient, boost::asio::buffer(std::string("tcp")));
  auto udpClient = UdpClient();
  SendDatagram(udpClient, "udp");
  ASSERT_TRUE(WaitFrames(2));
  log.Clear();

  settings.TcpUdpSrvPort = FreePort(io);
  transports.ActivateSrvPort(false);
  const uint16_t newPort = settings.TcpUdpSrvPort;
  EXPECT_EQ(log.entries,
            (std::vector<RecordingLogger::Entry>{
                {Kind::All, Separated(fmt::format("Disconnected from 127.0.0.1:{}", clientPort))},
                {Kind::All, fmt::format("Server Listen TCP Port {}", newPort)},
                {Kind::All, fmt::format("Server Listen UDP Port {}", newPort)},
            }));

  // The unit sees its connection end.
  tcpClient.non_blocking(true);
  boost::system::error_code ec;
  ASSERT_TRUE(RunUntil(io, [&] {
    std::array<char, 16> buffer;
    tcpClient.read_some(boost::asio::buffer(buffer), ec);
    return ec && ec != boost::asio::error::would_block;
  }));
  // Right away the old routes refuse; once the aborted operations have
  // finished, nothing holds them any more.
  for (const auto& received : frames) {
    EXPECT_TRUE(RouteRefuses(received.route));
  }
  RunFor(io, std::chrono::milliseconds(10));
  for (const auto& received : frames) {
    EXPECT_TRUE(received.route.expired());
  }
  tcp::socket late(io);
  late.connect(tcp::endpoint(address_v4::loopback(), oldPort), ec);
  EXPECT_EQ(ec, boost::asio::error::connection_refused);

  // The new port takes both transports.
  auto again = ConnectAndWait();
  boost::asio::write(again, boost::asio::buffer(std::string("new tcp")));
  SendDatagram(udpClient, "new udp");
  ASSERT_TRUE(WaitFrames(4));
  EXPECT_EQ(frames[2].frame, "new tcp");
  EXPECT_EQ(frames[3].frame, "new udp");
}

struct BusyPortCase {
  const char* name;
  bool tcpBusy;
  bool expectTcpListening;
};

class BusyPortTest : public NetworkTransportsTest,
                     public ::testing::WithParamInterface<BusyPortCase> {};

TEST_P(BusyPortTest, FailureIsReportedAndTheLoopRunsOn) {
  const auto& param = GetParam();
  const uint16_t port = settings.TcpUdpSrvPort;
  std::optional<tcp::acceptor> tcpHolder;
  std::optional<udp::socket> udpHolder;
  if (param.tcpBusy) {
    tcpHolder.emplace(io, tcp::endpoint(address_v4::any(), port));
  } else {
    udpHolder.emplace(io, udp::endpoint(address_v4::any(), port));
  }

  transports.ActivateSrvPort(true);

  EXPECT_EQ(log.ErrNames(), std::vector<std::string>{"DoActivateTCP/UDPSrvPort"});
  EXPECT_EQ(Logged(Kind::All, fmt::format("Server Listen TCP Port {}", port)),
            param.expectTcpListening);
  EXPECT_FALSE(Logged(Kind::All, fmt::format("Server Listen UDP Port {}", port)));
  bool ran = false;
  boost::asio::post(io, [&] { ran = true; });
  EXPECT_TRUE(RunUntil(io, [&] { return ran; }));
  if (param.expectTcpListening) {
    auto client = ConnectAndWait();
    boost::asio::write(client, boost::asio::buffer(std::string("still")));
    ASSERT_TRUE(WaitFrames(1));
    EXPECT_EQ(frames[0].frame, "still");
  }
}

INSTANTIATE_TEST_SUITE_P(Ports, BusyPortTest,
                         ::testing::Values(BusyPortCase{"TcpBusy", true, false},
                                           BusyPortCase{"UdpBusy", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NetworkTransportsTest, HandlerFailureIsReportedAndReleasesTheLock) {
  react = [](const Route&, std::string_view frame) {
    if (frame == "bad") {
      throw std::runtime_error("boom");
    }
  };
  transports.ActivateSrvPort(true);
  auto tcpClient = ConnectAndWait();
  boost::asio::write(tcpClient, boost::asio::buffer(std::string("bad")));
  ASSERT_TRUE(WaitFrames(1));
  boost::asio::write(tcpClient, boost::asio::buffer(std::string("good")));
  ASSERT_TRUE(WaitFrames(2));
  auto udpClient = UdpClient();
  SendDatagram(udpClient, "bad");
  SendDatagram(udpClient, "good");
  ASSERT_TRUE(WaitFrames(4));

  EXPECT_EQ(log.Texts(Kind::Err),
            (std::vector<std::string>{"ServerSocket1ClientRead|boom", "IdUDPServer1UDPRead|boom"}));
  EXPECT_EQ(frames[1].frame, "good");
  EXPECT_EQ(frames[3].frame, "good");
  EXPECT_FALSE(LockHeldElsewhere());
}

TEST_F(NetworkTransportsTest, StopClosesEverythingAndLetsTheLoopReturn) {
  transports.ActivateSrvPort(true);
  auto client = ConnectAndWait();
  const uint16_t clientPort = client.local_endpoint().port();
  transports.Stop();
  EXPECT_TRUE(
      Logged(Kind::All, Separated(fmt::format("Disconnected from 127.0.0.1:{}", clientPort))));
  io.restart();
  io.run_for(std::chrono::seconds(1));
  EXPECT_TRUE(io.stopped());
}

TEST_F(NetworkTransportsTest, ReleaseClosesEverythingWithoutADisconnectLine) {
  transports.ActivateSrvPort(true);
  auto client = ConnectAndWait();
  log.Clear();
  transports.Release();
  EXPECT_TRUE(log.entries.empty());
  std::array<char, 8> buffer;
  boost::system::error_code ec;
  client.read_some(boost::asio::buffer(buffer), ec);
  EXPECT_EQ(ec, boost::asio::error::eof);
  io.restart();
  io.run_for(std::chrono::seconds(1));
  EXPECT_TRUE(io.stopped());
}

}  // namespace
}  // namespace talvero
