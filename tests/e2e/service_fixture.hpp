#pragma once

// The real talvero --service with a temporary home, units on 127.0.0.1 and the
// monitoring software on a pseudo-terminal: the fixture of the end-to-end tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.hpp"
#include "e2e/receiver_input.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero::e2e {

using testing::ReadFile;
using testing::WriteFile;

inline const std::string kHeartbeat = std::string("1011           @    ") + '\x14';

class ServiceHost : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(DevDir()); }

  std::filesystem::path Home() const { return home_.path() / "home"; }
  std::filesystem::path DevDir() const { return home_.path() / "dev"; }
  std::filesystem::path Output() const { return home_.path() / "output.txt"; }

  void UseSettings(int pingSeconds = 30, const std::string& serialPort = "COM1") {
    std::filesystem::create_directories(Home());
    WriteFile(Home() / "Talvero.ini", SettingsFile(port_, pingSeconds, serialPort));
  }

  std::string ImpMsgLog() const { return ReadFile(Home() / "Log_Service" / "Imp_msg.log"); }

  std::unique_ptr<Receiver> Start(const std::vector<std::string>& extraEnv = {}) {
    return std::make_unique<Receiver>(
        std::vector<std::string>{"--service", "--home", Home().string(), "--dev-dir",
                                 DevDir().string()},
        Output(), extraEnv);
  }

  std::string AllMsgLog() const { return ServiceAllMsgLog(Home()); }

  bool Listening() const {
    UnitSocket probe(UnitSocket::Kind::Tcp, port_);
    return probe.connected();
  }

  // Both transports are up once the UDP server's line is in the log.
  bool ListeningOnBoth() const { return ServiceListensOnBoth(Home(), port_); }

  // Unit 0012 reports event 1130, group 01, zone 005 for account 1234; gives its answer.
  std::optional<std::string> SendAlarmOverUdp() const {
    UnitSocket unit(UnitSocket::Kind::Udp, port_);
    unit.Send(AlarmEvent(0x0012, "1234",
                         "1130"
                         "01"
                         "005"));
    return unit.Receive();
  }

  // Unit 0012 reports event 1130 of group 01 in the zone given; waits for its Ack.
  void SendAlarmInZone(const std::string& zone) const {
    UnitSocket unit(UnitSocket::Kind::Udp, port_);
    unit.Send(AlarmEvent(0x0012, "1234", "113001" + zone));
    const auto answer = unit.Receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 1);
  }

  // Answers every line that arrives until the wanted one has come.
  bool AnswerUntil(StationPty& station, const std::string& wanted) {
    for (int lines = 0; lines < 20; ++lines) {
      const std::string line = station.ReadUntil("\x14");
      if (line.empty()) {
        return false;
      }
      station.Write("\x06");
      if (line.find(wanted) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

  testing::TempDir home_;
  uint16_t port_ = FreePort();
};

}  // namespace talvero::e2e
