// The real talvero --service with a temporary home, units on 127.0.0.1 and the
// monitoring software on a pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "e2e/harness.hpp"
#include "e2e/receiver_input.hpp"
#include "protocol/crc8.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero::e2e {
namespace {

using testing::ReadFile;
using testing::WriteFile;

const std::string kHeartbeat = std::string("1011           @    ") + '\x14';

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

  std::string AllMsgLog() const {
    std::string text;
    const auto folder = Home() / "Log_Service" / "All msg";
    if (std::filesystem::exists(folder)) {
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        text += ReadFile(entry.path());
      }
    }
    return text;
  }

  bool Listening() const {
    UnitSocket probe(UnitSocket::Kind::Tcp, port_);
    return probe.connected();
  }

  // Both transports are up once the UDP server's line is in the log.
  bool ListeningOnBoth() const {
    return AllMsgLog().find("Server Listen UDP Port " + std::to_string(port_)) != std::string::npos;
  }

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

TEST_F(ServiceHost, CreatesTheDefaultSettingsFileByteForByte) {
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Home() / "Talvero.ini"); }));
  receiver->Signal(SIGTERM);
  ASSERT_EQ(receiver->WaitExit(), 0);
  EXPECT_EQ(ReadFile(Home() / "Talvero.ini"),
            "TcpUdpSrvPort=33665\r\nSerialPort=COM1\r\nCommTrouble1=15\r\nCommTrouble2=60\r\n"
            "CommTrouble3=240\r\nCommTrStartUpDelay=7\r\nPingInvToMonitSoft=30\r\nEncrMarker=0\r\n"
            "AutoStartUp=0\r\nSystemTray=0\r\nPlaySounds=0\r\nReceiverNumber=7\r\nLineNumber=7\r\n"
            "EncryptionKey=9873\r\n");
  EXPECT_NE(AllMsgLog().find(" - Application started..\r\n"), std::string::npos);
}

TEST_F(ServiceHost, SendsTheSecondHeartbeatOnceTheFirstIsAnswered) {
  UseSettings();
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  EXPECT_EQ(station.ReadUntil(kHeartbeat), kHeartbeat);
  station.ReleaseSlave();
  // Nothing more until the monitoring software answers.
  EXPECT_EQ(station.ReadFor(std::chrono::milliseconds(500)), "");
  station.Write("\x06");
  EXPECT_EQ(station.ReadUntil(kHeartbeat, std::chrono::milliseconds(2000)), kHeartbeat);
}

TEST_F(ServiceHost, AcknowledgesAPingOverTcpAndWritesTheUnitRecord) {
  UseSettings();
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  UnitSocket unit(UnitSocket::Kind::Tcp, port_);
  unit.Send(Frame(35, 0x0102, 0x0005, ""));
  const auto answer = unit.Receive();
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->size(), 15u);
  EXPECT_EQ((*answer)[0], 1);
  EXPECT_EQ(answer->substr(1, 7), std::string("\x00\x01\x02\x05\x00\x00\x00", 7));
  EXPECT_TRUE(CheckCrc8(*answer));
  // The lines of the turn were written before its answer left.
  EXPECT_NE(AllMsgLog().find("[Unit 0005] [Account ] [FrameID=258] [Ping]\r\n"), std::string::npos);

  ASSERT_TRUE(WaitUntil([&] {
    const std::string db = ReadFile(Home() / "Talvero.db");
    return db.size() == 2'621'440 && db[5 * 40] == 1;
  }));
  const std::string record = ReadFile(Home() / "Talvero.db").substr(5 * 40, 40);
  EXPECT_EQ(record[3], 1);                                              // TCP
  EXPECT_EQ(record.substr(13, 4), std::string("\x01\x00\x00\x7F", 4));  // 127.0.0.1
}

TEST_F(ServiceHost, DeliversAnAlarmEventOverUdpAsItsReceiverLine) {
  UseSettings();
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  const auto answer = SendAlarmOverUdp();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 1);
  EXPECT_TRUE(AnswerUntil(station, std::string("5077 181234E13001005") + '\x14'));
}

TEST_F(ServiceHost, AnswersABadFrameWithANack) {
  UseSettings();
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  UnitSocket unit(UnitSocket::Kind::Tcp, port_);
  unit.Send(std::string("\x23\x00\x01", 3) + "xy");
  const auto answer = unit.Receive();
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->size(), 15u);
  EXPECT_EQ(answer->substr(0, 8), std::string("\x02\x00\x00\x00\x00\x00\x00\x00", 8));
  EXPECT_TRUE(CheckCrc8(*answer));
}

TEST_F(ServiceHost, StaysIdleWithADatabaseOfTheWrongSize) {
  UseSettings();
  WriteFile(Home() / "Talvero.db", std::string(100, '\0'));
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] {
    return ReadFile(Home() / "Log_Service" / "Errors.log")
               .find(
                   "ERROR!! Database size is invalid. Please repair or delete database "
                   "(Talvero.db) and launch the service again.\r\n") != std::string::npos;
  }));
  EXPECT_FALSE(Listening());
  EXPECT_EQ(ReadFile(Home() / "Talvero.db"), std::string(100, '\0'));
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
}

TEST_F(ServiceHost, StopsOnSigtermWithTheUnsentLinesNoteAndTellsSystemd) {
  UseSettings();
  const auto notifyPath = home_.path() / "notify.sock";
  const int notify = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", notifyPath.c_str());
  ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  StationPty station(DevDir(), "COM1");
  auto receiver = Start({"NOTIFY_SOCKET=" + notifyPath.string()});
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  ASSERT_TRUE(SendAlarmOverUdp());
  // Two heartbeats and the event wait, unanswered.
  receiver->Signal(SIGTERM);
  ASSERT_EQ(receiver->WaitExit(), 0);

  const std::string log = AllMsgLog();
  EXPECT_NE(log.find(" - There are 3 unsent messages in Internal Buffer.\r\nUnsent messages will "
                     "be lost.\r\n\r\n"),
            std::string::npos);
  EXPECT_TRUE(log.ends_with(" - Application closed\r\n\r\n"));
  // The lines were dropped as the note says: none comes back at the next start.
  EXPECT_EQ(ReadFile(Home() / "Talvero_station.jnl"), "");

  std::string messages;
  char buffer[256];
  ssize_t n = 0;
  while ((n = recv(notify, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
    messages += std::string(buffer, static_cast<size_t>(n)) + "\n";
  }
  close(notify);
  EXPECT_EQ(messages, "READY=1\nSTOPPING=1\n");
}

TEST_F(ServiceHost, AStopWithAnEmptyQueueWritesOnlyApplicationClosed) {
  UseSettings(0);
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  UnitSocket unit(UnitSocket::Kind::Tcp, port_);
  unit.Send(Frame(35, 0x0102, 0x0005, ""));
  ASSERT_TRUE(unit.Receive());
  const std::string before = AllMsgLog();
  receiver->Signal(SIGTERM);
  ASSERT_EQ(receiver->WaitExit(), 0);
  const std::string log = AllMsgLog();
  ASSERT_TRUE(log.starts_with(before));
  const std::string added = log.substr(before.size());
  // The time stamp, then the one line: the connection goes with the process.
  EXPECT_EQ(added.find(" - "), 19u);
  EXPECT_EQ(added.substr(19), " - Application closed\r\n\r\n");
}

TEST_F(ServiceHost, AnAcknowledgedAlarmSurvivesAKillAndReachesTheStationAfterTheRestart) {
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  const auto answer = SendAlarmOverUdp();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 1);
  const std::string line = std::string("5077 181234E13001005") + '\x14';
  EXPECT_NE(station.ReadUntil(line).find(line), std::string::npos);

  receiver->Signal(SIGKILL);
  receiver->WaitExit();
  receiver = Start();
  EXPECT_NE(station.ReadUntil(line).find(line), std::string::npos);
  station.Write("\x06");
  // Answered, the line leaves the journal.
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(Home() / "Talvero_station.jnl").empty(); }));
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
}

// Units report faster than the station takes the lines; the receiver is killed
// in the middle of a round. Every alarm whose Ack a unit got reaches the
// station after the restart, in order per unit.
TEST_F(ServiceHost, AKillDuringAnAlarmStormLosesNoAcknowledgedAlarm) {
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  constexpr int kUnits = 20;
  std::vector<std::unique_ptr<UnitSocket>> units;
  for (int u = 0; u < kUnits; ++u) {
    units.push_back(std::make_unique<UnitSocket>(UnitSocket::Kind::Tcp, port_));
  }
  const auto account = [](int u) { return std::to_string(1000 + u); };
  const auto zone = [](int n) {
    const std::string digits = std::to_string(n);
    return std::string(3 - digits.size(), '0') + digits;
  };
  std::vector<std::string> acknowledged;
  for (int round = 1; round <= 8; ++round) {
    for (int u = 0; u < kUnits; ++u) {
      units[u]->Send(AlarmEvent(static_cast<uint16_t>(u + 1), account(u), "113001" + zone(round)));
    }
    if (round == 8) {
      receiver->Signal(SIGKILL);  // the answers of this round may or may not have left
    }
    for (int u = 0; u < kUnits; ++u) {
      const auto answer = units[u]->Receive(std::chrono::milliseconds(round == 8 ? 500 : 3000));
      if (answer && !answer->empty() && (*answer)[0] == 1) {
        acknowledged.push_back("5077 18" + account(u) + "E13001" + zone(round));
      }
    }
  }
  receiver->WaitExit();
  ASSERT_GE(acknowledged.size(), 7u * kUnits);
  // Every log line was written whole.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Home() / "Log_Service")) {
    if (entry.is_regular_file()) {
      EXPECT_TRUE(ReadFile(entry.path()).ends_with("\r\n")) << entry.path();
    }
  }

  receiver = Start();
  std::map<std::string, std::vector<std::string>> byAccount;
  std::set<std::string> seen;
  for (int lines = 0; lines < 400 && seen.size() < acknowledged.size(); ++lines) {
    std::string line = station.ReadUntil("\x14");
    if (line.empty()) {
      break;
    }
    station.Write("\x06");
    line.pop_back();
    if (std::find(acknowledged.begin(), acknowledged.end(), line) != acknowledged.end()) {
      seen.insert(line);
    }
    byAccount[line.substr(7, 4)].push_back(line.substr(17));
  }
  for (const std::string& line : acknowledged) {
    EXPECT_EQ(seen.count(line), 1u) << line;
  }
  // In order per unit; a line written just before the kill may come twice.
  for (auto& [acct, zones] : byAccount) {
    EXPECT_TRUE(std::is_sorted(zones.begin(), zones.end())) << acct;
  }
  // The unit database loaded again: the second start listens too.
  const std::string listen = "Server Listen UDP Port " + std::to_string(port_);
  const std::string log = AllMsgLog();
  EXPECT_NE(log.find(listen), log.rfind(listen));
}

TEST_F(ServiceHost, AnAlarmThatCannotBeJournaledIsNotAcknowledgedYetReachesTheStation) {
  UseSettings(0);
  // A folder where the journal should be: no line can be written to it.
  std::filesystem::create_directories(Home() / "Talvero_station.jnl");
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  const auto answer = SendAlarmOverUdp();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 2);  // a Nack: the unit sends the alarm again
  EXPECT_TRUE(AnswerUntil(station, std::string("5077 181234E13001005") + '\x14'));
  EXPECT_NE(ReadFile(Home() / "Log_Service" / "Errors.log").find("StationJournal"),
            std::string::npos);
}

TEST_F(ServiceHost, UnderAFileSizeLimitTheFailedWritesAreReportedAndFramesStillAnswered) {
  UseSettings(0);
  WriteFile(Home() / "Talvero.db", std::string(2'621'440, '\0'));  // written within its size
  StationPty station(DevDir(), "COM1");
  constexpr rlim_t kLimit = 128 * 1024;
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = kLimit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  auto receiver = Start();  // the receiver keeps the limit
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();

  UnitSocket unit(UnitSocket::Kind::Udp, port_);
  const auto logSize = [&] {
    std::error_code ec;
    uintmax_t size = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(Home() / "Log_Service" / "All msg", ec)) {
      size = std::max(size, entry.file_size(ec));
    }
    return size;
  };
  for (int frame = 0; frame < 5000 && logSize() + 1024 < kLimit; ++frame) {
    unit.Send(Frame(35, static_cast<uint16_t>(frame), 0x0005, ""));
    ASSERT_TRUE(unit.Receive());
  }
  // The "All msg" log is full: its lines fail, are reported, and frames are still answered.
  for (int frame = 0; frame < 20; ++frame) {
    unit.Send(Frame(35, 1, 0x0005, ""));
    const auto answer = unit.Receive();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 1);
  }
  const auto alarm = SendAlarmOverUdp();
  ASSERT_TRUE(alarm);
  EXPECT_EQ((*alarm)[0], 1);  // the journal is small: the alarm is kept and acknowledged
  EXPECT_TRUE(AnswerUntil(station, std::string("5077 181234E13001005") + '\x14'));
  // The log ends on its last whole line, not on the part of a line that fitted.
  for (const auto& entry :
       std::filesystem::directory_iterator(Home() / "Log_Service" / "All msg")) {
    EXPECT_TRUE(ReadFile(entry.path()).ends_with("\r\n"));
    EXPECT_LE(entry.file_size(), kLimit);
  }
  EXPECT_NE(ReadFile(Home() / "Log_Service" / "Errors.log").find("File too large"),
            std::string::npos);
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
}

TEST_F(ServiceHost, AHeartbeatOfTheStationInTwoPiecesAnswersOneLine) {
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  for (const std::string zone : {"001", "002", "003"}) {
    SendAlarmInZone(zone);
  }
  const std::string first = std::string("5077 181234E13001001") + '\x14';
  EXPECT_NE(station.ReadUntil(first).find(first), std::string::npos);
  // As a USB adapter delivers it: two packets 20 ms apart.
  station.Write("1011       ");
  (void)station.ReadFor(std::chrono::milliseconds(20));
  station.Write("    @    \x14");
  const std::string second = std::string("5077 181234E13001002") + '\x14';
  EXPECT_EQ(station.ReadUntil(std::string(second) + '\x06'), second + '\x06');
  // The third line waits for an answer of its own.
  EXPECT_EQ(station.ReadFor(std::chrono::milliseconds(500)), "");
  station.Write("\x06");
  const std::string third = std::string("5077 181234E13001003") + '\x14';
  EXPECT_EQ(station.ReadUntil(third), third);
}

TEST_F(ServiceHost, ALineRefusedThreeTimesIsDroppedAndReported) {
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station.ReleaseSlave();
  SendAlarmInZone("001");
  SendAlarmInZone("002");
  const std::string first = std::string("5077 181234E13001001") + '\x14';
  EXPECT_NE(station.ReadUntil(first).find(first), std::string::npos);
  for (int nak = 1; nak <= 2; ++nak) {
    station.Write("\x15");
    EXPECT_EQ(station.ReadUntil(first), first) << nak;
  }
  station.Write("\x15");
  const std::string second = std::string("5077 181234E13001002") + '\x14';
  EXPECT_EQ(station.ReadUntil(second), second);
  EXPECT_NE(ImpMsgLog().find(" - !! LINE REFUSED 3 TIMES BY THE MONITORING SOFTWARE, DROPPED: "
                             "5077 181234E13001001\r\n"),
            std::string::npos);
}

TEST_F(ServiceHost, TheStationLineIsOpenedAgainAfterAHangUpAndTheWaitingLinesGoOut) {
  UseSettings(0);
  auto station = std::make_unique<StationPty>(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
  station->ReleaseSlave();
  SendAlarmInZone("001");
  const std::string first = std::string("5077 181234E13001001") + '\x14';
  EXPECT_NE(station->ReadUntil(first).find(first), std::string::npos);

  station.reset();  // the cable is pulled
  ASSERT_TRUE(WaitUntil(
      [&] { return ImpMsgLog().find(" - !! SERIAL PORT COM1 LOST\r\n") != std::string::npos; }));
  SendAlarmInZone("002");  // still acknowledged, and kept while the line is away
  std::filesystem::remove(DevDir() / "COM1");
  station = std::make_unique<StationPty>(DevDir(), "COM1");
  // Tried every 5 s: the head goes out as soon as the line is back.
  EXPECT_EQ(station->ReadUntil(first, std::chrono::milliseconds(8000)), first);
  station->ReleaseSlave();
  station->Write("\x06");
  const std::string second = std::string("5077 181234E13001002") + '\x14';
  EXPECT_EQ(station->ReadUntil(second), second);
  const std::string imp = ImpMsgLog();
  EXPECT_EQ(imp.find("LOST"), imp.rfind("LOST"));
  EXPECT_NE(imp.find(" - Serial Port COM1 opened again\r\n"), std::string::npos);
}

TEST_F(ServiceHost, ASerialPortNameIsOpenedBelowTheDeviceFolderOrRefusedAloud) {
  struct Case {
    std::string name;
    bool opens;
  };
  const Case cases[] = {{"pts/7", true}, {"../x1", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Home());
    UseSettings(30, c.name);
    StationPty fallback(DevDir(), "COM1");  // where a silent COM1 would send the lines
    std::optional<StationPty> named;
    if (c.opens) {
      named.emplace(DevDir() / "pts", "7");
    }
    auto receiver = Start();
    ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));
    if (c.opens) {
      EXPECT_EQ(named->ReadUntil(kHeartbeat), kHeartbeat);
    } else {
      EXPECT_TRUE(WaitUntil([&] {
        return ImpMsgLog().find(" - !! CAN NOT OPEN SERIAL PORT " + c.name + "\r\n") !=
               std::string::npos;
      }));
    }
    EXPECT_EQ(fallback.ReadFor(std::chrono::milliseconds(300)), "");
    receiver->Signal(SIGTERM);
    EXPECT_EQ(receiver->WaitExit(), 0);
    std::filesystem::remove_all(DevDir());
  }
}

TEST_F(ServiceHost, SaysWhyOnStandardErrorWhenTheHomeCannotBeWritten) {
  std::filesystem::create_directories(home_.path());
  WriteFile(home_.path() / "file", "");
  Receiver receiver({"--service", "--home", (home_.path() / "file" / "home").string(), "--dev-dir",
                     DevDir().string()},
                    Output());
  ASSERT_TRUE(WaitUntil([&] {
    return ReadFile(Output()).find("Error in proc ServiceExecute: Cannot create log folder") !=
           std::string::npos;
  }));
  receiver.Signal(SIGTERM);
  EXPECT_EQ(receiver.WaitExit(), 0);
}

}  // namespace
}  // namespace talvero::e2e
