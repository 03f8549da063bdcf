// The real talvero --service with its station output over TCP to the real
// talvero-station --listen, and with --metrics scraped over loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fmt/format.h>

#include <set>

#include "e2e/harness.hpp"
#include "e2e/receiver_input.hpp"
#include "support/exposition_check.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero::e2e {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// Sends the bytes to 127.0.0.1:port and gives everything that comes back until
// the peer closes or the time is up.
std::string Exchange(uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) {
        break;
      }
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        break;
      }
      reply.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

std::string Get(uint16_t port, const std::string& target) {
  return Exchange(port,
                  "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

std::string Body(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

class ReceiverOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Home());
    std::filesystem::create_directories(home_.path() / "dev");
    WriteFile(Home() / "Talvero.ini", SettingsFile(port_));
  }

  std::filesystem::path Home() const { return home_.path() / "home"; }

  std::unique_ptr<Receiver> StartReceiver(const std::vector<std::string>& options) {
    std::vector<std::string> args{"--service", "--home", Home().string(), "--dev-dir",
                                  (home_.path() / "dev").string()};
    args.insert(args.end(), options.begin(), options.end());
    return std::make_unique<Receiver>(args, home_.path() / "receiver.txt");
  }

  // talvero-station --listen on the station port, its output in the file.
  std::unique_ptr<Receiver> StartStation(const std::string& output,
                                         const std::vector<std::string>& options = {}) {
    std::vector<std::string> args{"--listen", "127.0.0.1:" + std::to_string(stationPort_)};
    args.insert(args.end(), options.begin(), options.end());
    auto station = std::make_unique<Receiver>(TALVERO_STATION_EXE, args, home_.path() / output);
    EXPECT_TRUE(
        WaitUntil([&] { return StationOutput(output).find("Listening on") != std::string::npos; }));
    return station;
  }

  std::string StationOutput(const std::string& output) const {
    return std::filesystem::exists(home_.path() / output) ? ReadFile(home_.path() / output)
                                                          : std::string();
  }

  std::string ImpMsgLog() const {
    const auto path = Home() / "Log_Service" / "Imp_msg.log";
    return std::filesystem::exists(path) ? ReadFile(path) : std::string();
  }

  std::string AllMsgLog() const { return ServiceAllMsgLog(Home()); }

  bool ListeningOnBoth() const { return ServiceListensOnBoth(Home(), port_); }

  // Unit 0012 reports event 1130 of group 01 in the zone; true once it is acknowledged.
  bool SendAlarmInZone(const std::string& zone) const {
    UnitSocket unit(UnitSocket::Kind::Udp, port_);
    unit.Send(AlarmEvent(0x0012, "1234", "113001" + zone));
    const auto answer = unit.Receive();
    return answer && !answer->empty() && (*answer)[0] == 1;
  }

  static std::string Zone(int n) { return fmt::format("{:03}", n); }
  static std::string LineOfZone(int n) { return "5077 181234E13001" + Zone(n); }

  testing::TempDir home_;
  uint16_t port_ = FreePort();
  uint16_t stationPort_ = FreePort();
};

TEST_F(ReceiverOptions, AlarmsReachTheMonitoringSoftwareOverTcp) {
  auto station = StartStation("station.txt");
  auto receiver = StartReceiver({"--station", "tcp:127.0.0.1:" + std::to_string(stationPort_)});
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  for (int zone = 1; zone <= 3; ++zone) {
    ASSERT_TRUE(SendAlarmInZone(Zone(zone)));
  }
  EXPECT_TRUE(WaitUntil([&] {
    const std::string seen = StationOutput("station.txt");
    return seen.find(LineOfZone(3)) != std::string::npos;
  }));
  const std::string seen = StationOutput("station.txt");
  EXPECT_NE(seen.find("[heartbeat]"), std::string::npos) << seen;
  EXPECT_NE(seen.find(LineOfZone(1)), std::string::npos) << seen;
  EXPECT_NE(seen.find(LineOfZone(2)), std::string::npos) << seen;
  EXPECT_NE(AllMsgLog().find("Station connection tcp:127.0.0.1:" + std::to_string(stationPort_) +
                             " opened"),
            std::string::npos);
  // The serial port of the settings is not touched.
  EXPECT_EQ(ImpMsgLog().find("SERIAL PORT"), std::string::npos) << ImpMsgLog();
}

TEST_F(ReceiverOptions, AConnectionDroppedInABurstLosesNoLine) {
  // The first station takes five event lines and goes away; the rest wait in
  // the receiver's queue until a second station listens on the same port.
  auto first = StartStation("first.txt", {"--count", "5"});
  auto receiver = StartReceiver({"--station", "tcp:127.0.0.1:" + std::to_string(stationPort_)});
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  constexpr int kAlarms = 20;
  for (int zone = 1; zone <= kAlarms; ++zone) {
    ASSERT_TRUE(SendAlarmInZone(Zone(zone)));
  }
  ASSERT_TRUE(first->WaitExit());
  const std::string address = "tcp:127.0.0.1:" + std::to_string(stationPort_);
  EXPECT_TRUE(WaitUntil([&] {
    return ImpMsgLog().find("!! STATION CONNECTION " + address + " LOST") != std::string::npos;
  }));

  auto second = StartStation("second.txt");
  EXPECT_TRUE(WaitUntil(
      [&] { return StationOutput("second.txt").find(LineOfZone(kAlarms)) != std::string::npos; },
      std::chrono::milliseconds(20000)));
  const std::string seen = StationOutput("first.txt") + StationOutput("second.txt");
  for (int zone = 1; zone <= kAlarms; ++zone) {
    EXPECT_NE(seen.find(LineOfZone(zone)), std::string::npos) << "zone " << zone;
  }
  const std::string imp = ImpMsgLog();
  EXPECT_NE(imp.find("Station connection " + address + " opened again"), std::string::npos) << imp;
  // Each reported once, however many tries it took.
  EXPECT_EQ(imp.find("LOST"), imp.rfind("LOST")) << imp;
  EXPECT_EQ(imp.find("opened again"), imp.rfind("opened again")) << imp;
}

TEST_F(ReceiverOptions, MetricsAreScrapedInTheExpositionFormat) {
  const uint16_t metricsPort = FreePort();
  auto receiver = StartReceiver({"--metrics", "127.0.0.1:" + std::to_string(metricsPort)});
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  ASSERT_TRUE(SendAlarmInZone("001"));
  {
    UnitSocket unit(UnitSocket::Kind::Udp, port_);
    std::string frame = Frame(6, 2, 0x0012, std::string(17, '0'));
    frame.back() = static_cast<char>(frame.back() ^ 0xFF);  // a checksum that does not fit
    unit.Send(frame);
    ASSERT_TRUE(unit.Receive());
  }

  UnitSocket tcpUnit(UnitSocket::Kind::Tcp, port_);
  tcpUnit.Send(Frame(35, 0x0102, 0x0005, ""));
  ASSERT_TRUE(tcpUnit.Receive());

  const std::string reply = Get(metricsPort, "/metrics");
  ASSERT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\n")) << reply;
  EXPECT_NE(reply.find("Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"),
            std::string::npos)
      << reply;
  const std::string body = Body(reply);
  EXPECT_EQ(testing::ExpositionProblems(body), std::vector<std::string>{}) << body;
  for (const char* line : {
           "talvero_frames_received_total{transport=\"udp\",type=\"6\"} 2",
           "talvero_frames_refused_total{reason=\"checksum\"} 1",
           "talvero_frames_received_total{transport=\"tcp\",type=\"35\"} 1",
           "talvero_answers_sent_total{answer=\"ack\"} 2",
           "talvero_tcp_connections 1",
           "talvero_answers_sent_total{answer=\"nack\"} 1",
           "talvero_units_in_use 2",
           "talvero_station_output_up 0",
       }) {
    EXPECT_NE(body.find(std::string("\n") + line + "\n"), std::string::npos) << line << body;
  }
  EXPECT_NE(body.find("\nprocess_resident_memory_bytes "), std::string::npos);
  EXPECT_NE(body.find("\nprocess_open_fds "), std::string::npos);

  struct Refusal {
    std::string request;
    const char* status;
  };
  const Refusal refusals[] = {
      {"GET /other HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 404 "},
      {"POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 405 "},
      {"this is not http\r\n\r\n", "HTTP/1.1 400 "},
      {"GET /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\n\r\nabcd", "HTTP/1.1 400 "},
      {"GET /metrics HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n", "HTTP/1.1 431 "},
  };
  for (const auto& refusal : refusals) {
    const std::string answer = Exchange(metricsPort, refusal.request);
    EXPECT_TRUE(answer.starts_with(refusal.status)) << refusal.request.substr(0, 40) << answer;
  }
  // The receiver still serves after them.
  EXPECT_TRUE(Get(metricsPort, "/metrics").starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(SendAlarmInZone("002"));
}

}  // namespace
}  // namespace talvero::e2e
