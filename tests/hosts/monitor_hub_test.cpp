#include "hosts/monitor_hub.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/unit_frames.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_page_outlet.hpp"
#include "support/temp_dir.hpp"
#include "support/unit_socket.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::Bytes;
using testing::Ping;
using testing::RecordingOutlet;
using testing::UnitSocket;

// A temporary home that is also the working folder while a test runs, with
// the settings of a desktop engine on a free loopback port.
struct MonitorHome {
  MonitorHome() {
    std::filesystem::current_path(home.path());
    SetExeFolder(home.path().string());
    std::filesystem::create_directory("Resources");
    std::filesystem::create_directory("dev");
    testing::WriteFile("Talvero.ini", "TcpUdpSrvPort=" + std::to_string(port) +
                                          "\r\nSerialPort=COM1\r\nCommTrouble1=15\r\n"
                                          "CommTrouble2=60\r\nCommTrouble3=240\r\n"
                                          "CommTrStartUpDelay=7\r\nPingInvToMonitSoft=30\r\n"
                                          "EncrMarker=0\r\nAutoStartUp=0\r\nSystemTray=0\r\n"
                                          "PlaySounds=1\r\nReceiverNumber=7\r\nLineNumber=7\r\n"
                                          "EncryptionKey=9873\r\n");
  }
  ~MonitorHome() { std::filesystem::current_path(previous); }

  std::filesystem::path previous = std::filesystem::current_path();
  testing::TempDir home;
  uint16_t port = testing::FreePort();
};

// The desktop engine started there, with the monitor over it.
class MonitorHubTest : public ::testing::Test, protected MonitorHome {
 protected:
  MonitorHubTest() {
    EXPECT_TRUE(engine.StartUp());
    io.poll();
    hub.Open(1);
  }
  ~MonitorHubTest() override { Stop(); }
  void Stop() {
    if (!stopped) {
      stopped = true;
      engine.Stop();
    }
  }

  void Ask(std::string_view request, PageId page = 1) {
    hub.Message(page, json::parse(request));
    io.poll();
  }
  // Lets the engine take what arrived on its sockets.
  void Settle() {
    for (int i = 0; i < 20; ++i) {
      io.poll();
      std::this_thread::sleep_for(5ms);
    }
  }

  boost::asio::io_context io;
  testing::VirtualTime time{testing::At(2024, 3, 7, 9, 0, 0)};
  MonitorState state{
      [this](std::function<void()> task) { boost::asio::post(io, std::move(task)); }};
  ReceiverEngine engine{io, time, time, state, {HostKind::Desktop, home.path() / "dev", {}}};
  RecordingOutlet outlet;
  bool closed = false;
  bool stopped = false;
  MonitorHub hub{
      engine, state, outlet, time, time, {"ttyS0", "ttyUSB0"}, [this] { closed = true; }};
};

TEST_F(MonitorHubTest, APageOpensOnTheWholeStateOfTheMonitor) {
  const json hello = outlet.Last("hello");
  EXPECT_EQ(hello["title"], "Corvane Talvero (v2.0.00)");
  EXPECT_EQ(hello["appStarted"], "2024-03-07 09:00:00");
  EXPECT_EQ(hello["started"], true);
  EXPECT_EQ(hello["columns"][9]["caption"], "Comm Tr. 1");
  EXPECT_EQ(hello["columns"][9]["width"], 60);
  EXPECT_EQ(hello["menu"][0]["caption"], "Get Ping");
  EXPECT_EQ(hello["menu"][0]["action"]["named"], "Get Ping");
  EXPECT_EQ(hello["menu"][4]["password"], true);
  EXPECT_EQ(hello["menu"].back()["action"]["delete"], true);
  EXPECT_EQ(hello["settings"]["rows"][0]["caption"], "TCP/UDP Server Port");
  EXPECT_EQ(hello["settings"]["rows"][0]["value"], std::to_string(port));
  EXPECT_EQ(hello["settings"]["rows"][1]["choice"], true);
  EXPECT_EQ(hello["settings"]["serialPorts"], (json{"ttyS0", "ttyUSB0"}));
  EXPECT_EQ(hello["settings"]["playSounds"], true);
  EXPECT_EQ(hello["grid"]["count"], 0);
  EXPECT_EQ(hello["views"]["all"]["lines"][0], "2024.03.07 09:00:00 - Application started..");
}

TEST_F(MonitorHubTest, ANewUnitGetsARowOnEveryPageAndTheCountersMove) {
  hub.Open(2);
  UnitSocket unit(UnitSocket::Kind::Tcp, port);
  unit.Send(Ping(0x0012));
  Settle();
  EXPECT_TRUE(unit.Receive());
  time.Advance(MonitorHub::kPushPeriod);

  for (const PageId page : {PageId{1}, PageId{2}}) {
    const json grid = outlet.Last("grid", page);
    EXPECT_EQ(grid["count"], 1) << page;
    EXPECT_EQ(grid["changed"], json{0x12}) << page;
  }
  EXPECT_EQ(outlet.Last("counters")["counters"]["receiveMsg"], 1);

  Ask(R"({"type":"rows","id":7,"first":0,"count":50})");
  const json rows = outlet.Last("rows");
  EXPECT_EQ(rows["id"], 7);
  ASSERT_EQ(rows["rows"].size(), 1u);
  EXPECT_EQ(rows["rows"][0]["unitText"], "0012");
  EXPECT_EQ(rows["rows"][0]["transport"], "TCP");
  EXPECT_EQ(rows["rows"][0]["ip"], "127.0.0.1");
  EXPECT_EQ(rows["rows"][0]["top"], "#FFFFFF");
  EXPECT_EQ(rows["rows"][0]["commTr"], (json{15, 60, 240}));
}

TEST_F(MonitorHubTest, GetPingFromAPageReachesTheUnit) {
  UnitSocket unit(UnitSocket::Kind::Tcp, port);
  unit.Send(Ping(3));
  Settle();
  ASSERT_TRUE(unit.Receive());

  Ask(R"({"type":"command","id":1,"action":{"named":"Get Ping"},"unit":3,"ctrl":false})");
  const json step = outlet.Last("step");
  EXPECT_EQ(step["kind"], "sent");
  EXPECT_EQ(step["sound"], 0);
  EXPECT_EQ(step["showAllMsg"], true);
  EXPECT_EQ(unit.Receive(), AddCrc8(Bytes({0x24, 0, 0, 0, 3, 0, 0, 0})));
}

TEST_F(MonitorHubTest, AProtectedCommandAsksForThePasswordUntilRightOrCancelled) {
  UnitSocket unit(UnitSocket::Kind::Tcp, port);
  unit.Send(Ping(3));
  Settle();
  ASSERT_TRUE(unit.Receive());

  Ask(R"({"type":"command","id":1,"action":{"named":"Reset Device"},"unit":3})");
  json step = outlet.Last("step");
  ASSERT_EQ(step["kind"], "askPassword");
  EXPECT_FALSE(step.contains("box"));
  EXPECT_EQ(step.dump().find("9873"), std::string::npos);  // the password stays here
  const int64_t dialog = step["dialog"];

  Ask(R"({"type":"answer","id":2,"dialog":)" + std::to_string(dialog) + R"(,"value":"1234"})");
  step = outlet.Last("step");
  EXPECT_EQ(step["kind"], "askPassword");
  EXPECT_EQ(step["box"], "Incorrect password.");
  // The old dialog is answered; only the new one counts.
  Ask(R"({"type":"answer","dialog":)" + std::to_string(dialog) + R"(,"value":"9873"})");
  EXPECT_EQ(outlet.Last("step")["kind"], "nothing");

  Ask(R"({"type":"answer","dialog":)" + std::to_string(int64_t{step["dialog"]}) +
      R"(,"value":null})");
  EXPECT_EQ(outlet.Last("step")["kind"], "nothing");
  EXPECT_FALSE(unit.Receive(100ms));
}

TEST_F(MonitorHubTest, TheFilterRunsAfterTypingPauses) {
  for (const uint16_t unit : {1, 2}) {
    engine.Tables().UnitTable[unit].Active = 1;
  }
  engine.Tables().UnitTable[1].FilterText = "0001 ABC";
  engine.Tables().UnitTable[2].FilterText = "0002 abc";

  Ask(R"({"type":"filter","text":"AB"})");
  Ask(R"({"type":"filter","text":" ABC "})");
  EXPECT_EQ(outlet.Last("filterBox")["colour"], "#00FFFF");
  time.Advance(1499ms);
  EXPECT_TRUE(outlet.Last("grid").is_null());
  time.Advance(1ms);
  EXPECT_EQ(outlet.Last("grid")["count"], 1);
  EXPECT_EQ(outlet.Last("grid")["reset"], true);

  Ask(R"({"type":"filter","text":"  "})");
  EXPECT_EQ(outlet.Last("filterBox")["colour"], "#FFFFFF");
  time.Advance(100ms);
  EXPECT_EQ(outlet.Last("grid")["count"], 2);
}

TEST_F(MonitorHubTest, ThresholdEditsTakeWholeNumbersUpTo65535) {
  engine.Tables().UnitTable[5].Active = 1;
  Ask(R"({"type":"commTr","unit":5,"level":2,"value":30})");
  Ask(R"({"type":"commTr","unit":5,"level":1,"value":70000})");
  Ask(R"({"type":"commTr","unit":5,"level":3,"value":"12"})");
  Ask(R"({"type":"commTr","unit":5,"level":3,"value":1.5})");
  Ask(R"({"type":"commTr","unit":5,"level":4,"value":1})");
  EXPECT_EQ(engine.Tables().CommTrLimits[5], (CommTrLimit{15, 30, 240}));

  Stop();  // saves the thresholds
  const std::string saved = testing::ReadFile("Resources/ctdata.dat");
  EXPECT_NE(saved.find("\n5:2:30\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("5:1:"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("5:3:"), std::string::npos) << saved;
}

TEST_F(MonitorHubTest, ClosingAsksFirstAndGoesOnlyOnYes) {
  Ask(R"({"type":"closeAnswer","yes":true})");
  EXPECT_FALSE(closed);  // nothing was asked
  Ask(R"({"type":"close","id":3})");
  EXPECT_EQ(outlet.Last("question")["box"], "Close application?");
  Ask(R"({"type":"closeAnswer","yes":false})");
  EXPECT_FALSE(closed);
  Ask(R"({"type":"close"})");
  Ask(R"({"type":"closeAnswer","yes":true})");
  EXPECT_TRUE(closed);
}

TEST_F(MonitorHubTest, SettingsEditsAndPlaySoundsAreSavedAndShownOnEveryPage) {
  Ask(R"({"type":"setting","row":8,"value":" 12 "})");
  EXPECT_EQ(outlet.Last("settings")["settings"]["rows"][8]["value"], "12");
  Ask(R"({"type":"playSounds","on":false})");
  EXPECT_EQ(outlet.Last("settings")["settings"]["playSounds"], false);
  const std::string file = testing::ReadFile("Talvero.ini");
  EXPECT_NE(file.find("ReceiverNumber=12\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("PlaySounds=0\r\n"), std::string::npos) << file;
}

TEST_F(MonitorHubTest, BadRequestsGetAnErrorAndChangeNothing) {
  const std::string bad[] = {
      "[1,2]",
      "{}",
      "null",
      R"({"type":5})",
      R"({"type":"nope"})",
      R"({"type":"command","action":{"named":"Get Ping","custom":1},"unit":3})",
      R"({"type":"command","action":{"custom":-1},"unit":3})",
      R"({"type":"command","action":"Get Ping","unit":3})",
      R"({"type":"command"})",
  };
  for (const std::string& request : bad) {
    outlet.sent.clear();
    Ask(request);
    ASSERT_FALSE(outlet.sent.empty()) << request.substr(0, 40);
    EXPECT_EQ(outlet.sent.back().second["type"], "error") << request.substr(0, 40);
  }
  // Wrong types and out-of-range values are answered, never trusted.
  outlet.sent.clear();
  Ask(R"({"type":"rows","first":-5,"count":1000000})");
  EXPECT_EQ(outlet.Last("rows")["rows"].size(), 0u);
  Ask(R"({"type":"command","action":{"named":"Get Ping"},"unit":"3"})");
  EXPECT_EQ(outlet.Last("step")["kind"], "nothing");
  Ask(R"({"type":"answer","dialog":99,"value":"9873"})");
  EXPECT_EQ(outlet.Last("step")["kind"], "nothing");
  Ask(R"({"type":"cmdList","unit":70000})");
  EXPECT_EQ(outlet.Last("cmdList")["names"], json::array());
  hub.Message(42, json::parse(R"({"type":"rows"})"));  // a page that never opened
  EXPECT_EQ(outlet.Events("rows", 42).size(), 0u);
}

}  // namespace
}  // namespace talvero
