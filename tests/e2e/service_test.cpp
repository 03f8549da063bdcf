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

#include "e2e/alarm_storm.hpp"
#include "e2e/service_fixture.hpp"
#include "platform/open_file_limit.hpp"
#include "protocol/crc8.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero::e2e {
namespace {

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

// A thousand units report alarms far faster than the 9600-baud line takes them
// (the station answers about 40 lines a second); the receiver is killed in the
// middle of the storm. Every alarm whose Ack a unit got reaches the station
// after the restart, in order per unit; the unit database loads with every
// record whole, and the logs end on whole lines.
TEST_F(ServiceHost, AKillDuringAnAlarmStormOfAThousandUnitsLosesNoAcknowledgedAlarm) {
  const std::optional<OpenFileLimit> files = RaiseOpenFileLimit();
  constexpr size_t kUnits = 1000;
  constexpr int kEventsPerUnit = 6;
  if (!files || files->soft < kUnits + 200) {
    GTEST_SKIP() << "needs open files for " << kUnits << " connections";
  }
  UseSettings(0);
  StationPty station(DevDir(), "COM1");
  auto receiver = Start();
  ASSERT_TRUE(WaitUntil([&] { return ListeningOnBoth(); }));

  std::map<std::string, std::vector<std::string>> zonesByAccount;
  std::set<std::string> seen;
  std::string partial;
  std::string last;  // the last whole line
  // Takes what the station has in the given time; a whole line is answered.
  const auto answerLine = [&](std::chrono::milliseconds wait) {
    partial += station.ReadUntil("\x14", wait);
    if (partial.empty() || partial.back() != '\x14') {
      return false;
    }
    station.Write("\x06");
    last = partial.substr(0, partial.size() - 1);
    partial.clear();
    seen.insert(last);
    zonesByAccount[last.substr(7, 4)].push_back(last.substr(17));
    return true;
  };

  AlarmStorm storm(port_, kUnits, kEventsPerUnit);
  ASSERT_TRUE(storm.Start(10s));
  const auto stormEnd = std::chrono::steady_clock::now() + 20s;
  while (storm.Acknowledged() < kUnits * kEventsPerUnit / 2 &&
         std::chrono::steady_clock::now() < stormEnd) {
    answerLine(23ms);  // a line and its answer take 23 ms at 9600 baud
  }
  receiver->Signal(SIGKILL);  // the answers of this turn may or may not have left
  receiver->WaitExit();
  storm.Stop();
  const std::vector<std::string> acknowledged = storm.AcknowledgedLines();
  ASSERT_GE(acknowledged.size(), kUnits * kEventsPerUnit / 2);
  ASSERT_LT(seen.size(), acknowledged.size() / 10);  // the storm outran the line

  for (const auto& entry : std::filesystem::recursive_directory_iterator(Home() / "Log_Service")) {
    if (entry.is_regular_file()) {
      EXPECT_TRUE(ReadFile(entry.path()).ends_with("\r\n")) << entry.path();
    }
  }
  // Every record is whole: a unit that was answered has its record, one that
  // was not has it whole or not at all.
  const std::string db = ReadFile(Home() / "Talvero.db");
  ASSERT_EQ(db.size(), 2'621'440u);
  for (uint16_t unit = 1; unit <= kUnits; ++unit) {
    const std::string record = db.substr(unit * 40u, 40);
    if (record == std::string(40, '\0') && storm.AcknowledgedBy(unit) == 0) {
      continue;
    }
    SCOPED_TRACE(unit);
    EXPECT_EQ(record[0], 1);
    EXPECT_EQ(record[3], 1);                                          // TCP
    EXPECT_EQ(record.substr(13, 4), std::string("\x01\0\0\x7f", 4));  // 127.0.0.1
    EXPECT_EQ(record.substr(30, 4), AlarmStorm::Account(unit));
    EXPECT_NE(record.substr(19, 4), std::string(4, '\0'));  // FirstMsgTime
    EXPECT_NE(record.substr(23, 4), std::string(4, '\0'));  // LastMsgTime
  }

  receiver = Start();
  const std::set<std::string> wanted(acknowledged.begin(), acknowledged.end());
  size_t missing = std::count_if(wanted.begin(), wanted.end(),
                                 [&](const std::string& line) { return seen.count(line) == 0; });
  while (missing > 0) {
    const size_t before = seen.size();
    if (!answerLine(5s)) {
      break;
    }
    if (seen.size() > before && wanted.count(last) == 1) {
      --missing;
    }
  }
  for (const std::string& line : acknowledged) {
    EXPECT_EQ(seen.count(line), 1u) << line;
  }
  // In order per unit; a line sent just before the kill may come twice.
  for (auto& [acct, zones] : zonesByAccount) {
    EXPECT_TRUE(std::is_sorted(zones.begin(), zones.end())) << acct;
  }
  // The unit database loaded again: the second start listens too.
  const std::string listen = "Server Listen UDP Port " + std::to_string(port_);
  const std::string log = AllMsgLog();
  EXPECT_NE(log.find(listen), log.rfind(listen));
  receiver->Signal(SIGTERM);
  EXPECT_EQ(receiver->WaitExit(), 0);
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
