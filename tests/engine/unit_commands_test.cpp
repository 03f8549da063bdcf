#include "engine/unit_commands.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/trim.hpp"
#include "command_desk.hpp"
#include "engine/cmd_buffer_entry.hpp"
#include "protocol/hex_text.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "unit_frames.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testing::Bytes;
using testing::Decrypted;
using testing::Encrypted;
using testing::MakeTcpRoute;
using testing::MakeUdpBinding;
using testing::Ping;
using testing::Plain;
using testing::UnitFrame;
using Kind = testing::RecordingLogger::Kind;
using Step = CommandStep::Kind;
using Lines = std::vector<std::string>;

const std::string kGetPing3 = AddCrc8(Bytes({0x24, 0, 0, 0, 3, 0, 0, 0}));

class UnitCommandsTest : public ::testing::Test {
 protected:
  // A unit heard over a route, with the log and the sounds of that frame cleared.
  void Heard(const std::shared_ptr<testing::FakeTransport>& route, uint16_t unit,
             uint16_t frameID = 5) {
    d.e.processor.ProcessRecMsg(route, Ping(unit, frameID));
    route->sent.clear();
    d.e.log.Clear();
    d.e.observer.sounds.clear();
    d.e.observer.changedUnits.clear();
  }
  // Custom commands from a file of these bytes.
  void LoadCustom(std::string_view text) {
    testing::WriteFile(home.path() / "Talvero_cc.ini", text);
    d.custom.AppendCustomCmdToPopupMenu(home.path() / "Talvero_cc.ini", d.e.log);
    d.e.log.Clear();
  }

  testing::CommandDesk d;
  testing::TempDir home;
  std::shared_ptr<testing::FakeTransport> tcp = MakeTcpRoute("10.0.0.5", 4001);
};

TEST_F(UnitCommandsTest, GetPingGoesAtOnceToATcpUnitAndIsLogged) {
  Heard(tcp, 3);
  d.e.Unit(3).Account = "1234";

  const CommandStep step = d.commands.SendCMD("Get Ping", 3, false);
  EXPECT_EQ(step.kind, Step::Sent);
  EXPECT_EQ(step.sound, 0);
  EXPECT_TRUE(step.showAllMsgTab);
  EXPECT_EQ(tcp->sent, Lines{kGetPing3});
  const std::string line = "Send Cmd <Get Ping> to Unit 0003 (1234 - 10.0.0.5:4001): 0x" +
                           StrToHexText(kGetPing3) + " [Frame ID: 5]";
  EXPECT_EQ(step.logLine, line);
  EXPECT_EQ(d.e.log.Texts(Kind::All), Lines{"\0"s + line});
  EXPECT_EQ(d.e.observer.Count(Counter::SendCmd), 1);
  EXPECT_TRUE(d.e.Unit(3).CmdBuffer.empty());
}

TEST_F(UnitCommandsTest, WithCtrlATcpUnitsCommandIsQueuedSilently) {
  Heard(tcp, 3);
  const CommandStep step = d.commands.SendCMD("Get Ping", 3, true);
  EXPECT_EQ(step.kind, Step::Queued);
  EXPECT_EQ(step.sound, 4);
  EXPECT_EQ(step.cmdCount, 1u);
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_TRUE(d.e.log.entries.empty());
  EXPECT_EQ(d.e.Unit(3).CmdBuffer, Lines{"Get Ping=" + kGetPing3});
  EXPECT_EQ(d.e.observer.changedUnits, std::vector<uint16_t>{3});
  EXPECT_EQ(d.e.observer.Count(Counter::SendCmd), 0);
  EXPECT_EQ(d.commands.CmdBufferNames(3), Lines{"Get Ping"});

  EXPECT_EQ(d.commands.SendCMD("Get GSM Level", 3, true).cmdCount, 2u);
  EXPECT_EQ(d.commands.CmdBufferNames(3), (Lines{"Get Ping", "Get GSM Level"}));
  d.commands.ClearCmdBuffer(3);
  EXPECT_TRUE(d.e.Unit(3).CmdBuffer.empty());
}

TEST_F(UnitCommandsTest, EveryNamedCommandHasItsFrame) {
  Heard(tcp, 0x0012);
  const struct {
    std::string name;
    std::string bytes;  // before the checksum
  } cases[] = {
      {"Get Ping", Bytes({0x24, 0, 0, 0, 2, 1, 0, 0})},
      {"Get Automatic Test", Bytes({0x2C, 0, 0, 0, 2, 1, 0, 0})},
      {"Get GSM Level", Bytes({0x25, 0, 0, 0, 2, 1, 0, 0})},
      {"Reset Device", Bytes({0x29, 0, 0, 0, 2, 1, 0, 0})},
      {"Clear Storage", Bytes({0x26, 0, 0, 0, 2, 1, 0, 0})},
      {"Set Time", Bytes({0x2A, 0, 0, 0, 2, 1, 0, 0, 24, 3, 7, 9, 0, 0})},
      {"Do Open1", Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 0, 0})},
      {"Do Open4", Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 0, 3})},
      {"Do Close1", Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 1, 0})},
      {"Do Close3", Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 1, 2})},
  };
  for (const auto& c : cases) {
    tcp->sent.clear();
    EXPECT_EQ(d.commands.SendCMD(c.name, 0x0012, false).kind, Step::Sent) << c.name;
    EXPECT_EQ(tcp->sent, Lines{AddCrc8(c.bytes)}) << c.name;
  }
  tcp->sent.clear();
  for (const std::string name : {"Do Open5", "Do Close0", "Do Open", "get ping", "Ping", ""}) {
    EXPECT_EQ(d.commands.SendCMD(name, 0x0012, false).kind, Step::Nothing) << name;
  }
  EXPECT_TRUE(tcp->sent.empty());
}

TEST_F(UnitCommandsTest, AUdpUnitIsWrittenToOnlyWhileItIsTheUnitHeardLastWithin11Seconds) {
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  Heard(udp, 3);
  d.e.time.Advance(5s);
  EXPECT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Sent);
  EXPECT_EQ(udp->sent, Lines{kGetPing3});
  // Ctrl plays no part for a unit without a TCP connection.
  EXPECT_EQ(d.commands.SendCMD("Get Ping", 3, true).kind, Step::Sent);

  d.e.time.Advance(6s);  // 11 s after its frame
  EXPECT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Queued);

  Heard(udp, 3, 6);
  udp->address = "10.0.0.4";
  d.e.processor.ProcessRecMsg(udp, Ping(4, 1));
  EXPECT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Queued);
}

TEST_F(UnitCommandsTest, AUdpUnitWhoseBindingMovedToAnotherSenderGetsNothing) {
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  Heard(udp, 3);
  // A datagram that fails the checksum moves the binding but not LastUnitText.
  udp->address = "10.0.0.9";
  std::string broken = Ping(4, 1);
  broken.back() = static_cast<char>(broken.back() ^ 1);
  d.e.processor.ProcessRecMsg(udp, broken);
  udp->sent.clear();
  EXPECT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Queued);
  EXPECT_TRUE(udp->sent.empty());
}

TEST_F(UnitCommandsTest, AQueuedCommandIsDeliveredAfterTheUnitsNextFrameAndConfirmedByTheOneAfter) {
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  Heard(udp, 3);
  d.e.time.Advance(12s);
  ASSERT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Queued);

  d.e.processor.ProcessRecMsg(udp, Ping(3, 6));
  d.e.time.Advance(999ms);
  EXPECT_EQ(udp->sent.size(), 1u);  // the acknowledgement
  d.e.time.Advance(1ms);
  ASSERT_EQ(udp->sent.size(), 2u);
  EXPECT_EQ(udp->sent[1], kGetPing3);

  // Silent for 15 s: its next frame confirms nothing, and the command goes again.
  d.e.time.Advance(15s);
  d.e.processor.ProcessRecMsg(udp, Ping(3, 7));
  d.e.time.Advance(1s);
  EXPECT_EQ(udp->sent.back(), kGetPing3);
  EXPECT_EQ(d.e.Unit(3).CmdBuffer.size(), 1u);

  d.e.time.Advance(3s);
  d.e.processor.ProcessRecMsg(udp, Ping(3, 8));
  EXPECT_TRUE(d.e.log.Has(Kind::All, "Delete Buf-Cmd: <Get Ping>"));
  EXPECT_TRUE(d.e.Unit(3).CmdBuffer.empty());
}

TEST_F(UnitCommandsTest, AQueuedSetTimeCarriesTheTimeOfItsSending) {
  Heard(tcp, 3);
  ASSERT_EQ(d.commands.SendCMD("Set Time", 3, true).kind, Step::Queued);
  d.e.time.Advance(2min);
  d.e.processor.ProcessRecMsg(tcp, Ping(3, 6));
  d.e.time.Advance(1s);
  ASSERT_EQ(tcp->sent.size(), 2u);
  EXPECT_EQ(tcp->sent[1], AddCrc8(Bytes({0x2A, 0, 0, 0, 3, 0, 0, 0, 24, 3, 7, 9, 2, 1})));
}

TEST_F(UnitCommandsTest, AnEncryptingUnitsCommandsTakeItsNextFrameNumbers) {
  d.e.processor.ProcessRecMsg(tcp, Encrypted(UnitFrame(35, 0x0007, 3)));
  tcp->sent.clear();
  ASSERT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Sent);
  ASSERT_EQ(d.commands.SendCMD("Get Ping", 3, false).kind, Step::Sent);
  ASSERT_EQ(tcp->sent.size(), 2u);
  EXPECT_EQ(tcp->sent[0].substr(0, 4), Bytes({0x24, 1, 0, 8}));
  EXPECT_EQ(tcp->sent[1].substr(0, 4), Bytes({0x24, 1, 0, 9}));
  EXPECT_EQ(Decrypted(tcp->sent[0]), Bytes({0x24, 1, 0, 8, 3, 0, 0, 0}));
  EXPECT_TRUE(d.e.log.Has(Kind::All, "[Frame ID: 9]"));
}

TEST_F(UnitCommandsTest, UnitsThatCannotBeReachedAreRefusedUnlessCtrlIsHeld) {
  d.e.Unit(3).Active = 1;  // loaded from the database, not heard since start-up
  d.e.Unit(4).Active = 1;
  d.e.Unit(4).TrProto = TransportKind::Tcp;
  const struct {
    uint16_t unit;
    bool custom;
    std::string text;
  } cases[] = {
      {3, false,
       "Unknown Transport protocol for Unit [0003]\r\nFirst you have to receive new message from "
       "this Unit.\r\nOnly then it will be possible to send the command."},
      {4, false,
       "No Messages was received from Unit [0004] after StartUp.\r\nFirst you have to receive any "
       "message from this Unit.\r\nOnly then it will be possible to send the command."},
      {3, true,
       "Unknown Transport protocol for Unit [0003]\r\nFirst you have to receive any new message "
       "from this Unit\r\nOnly then it will be possible to send the command"},
      {4, true,
       "No One Message was received from Unit [0004] after StartUp\r\nFirst you have to receive "
       "any new message from this Unit\r\nOnly then it will be possible to send the command"},
  };
  LoadCustom("A=0x01");
  for (const auto& c : cases) {
    const CommandStep step = c.custom ? d.commands.SendCustomCMD(0, c.unit, false)
                                      : d.commands.SendCMD("Get Ping", c.unit, false);
    EXPECT_EQ(step.kind, Step::Refused);
    EXPECT_EQ(step.sound, 1);
    EXPECT_EQ(step.boxText, c.text);
    // With Ctrl the checks are skipped and the command waits for the unit.
    const CommandStep held = c.custom ? d.commands.SendCustomCMD(0, c.unit, true)
                                      : d.commands.SendCMD("Get Ping", c.unit, true);
    EXPECT_EQ(held.kind, Step::Queued);
  }
  EXPECT_TRUE(d.e.log.entries.empty());
}

TEST_F(UnitCommandsTest, ACommandToATcpUnitWhoseConnectionClosedWaitsForItsNextConnection) {
  {
    auto gone = MakeTcpRoute("10.0.0.5", 4001);
    Heard(gone, 3);
  }
  const CommandStep step = d.commands.SendCMD("Get Ping", 3, false);
  EXPECT_EQ(step.kind, Step::Queued);
  EXPECT_TRUE(d.e.log.entries.empty());

  d.e.processor.ProcessRecMsg(tcp, Ping(3, 6));
  d.e.time.Advance(1s);
  EXPECT_EQ(tcp->sent.back(), kGetPing3);
}

TEST_F(UnitCommandsTest, ChangeUnitIDAsksForTheNewNumberAndChecksIt) {
  Heard(tcp, 3);
  EXPECT_EQ(d.commands.SendCMD("Change UnitID", 3, false).boxText,
            "Unknown Imei of Unit 0003\r\nCommand can not be proceed");
  // The IMEI is needed even with Ctrl.
  EXPECT_EQ(d.commands.SendCMD("Change UnitID", 3, true).kind, Step::Refused);

  d.e.Unit(3).Imei = testing::kImei;
  const CommandStep box = d.commands.SendCMD("Change UnitID", 3, false);
  ASSERT_EQ(box.kind, Step::AskUnitNr);
  EXPECT_EQ(box.input.Caption, "Change UnitID");
  EXPECT_EQ(box.input.Prompt, "Type New UnitID [0001..FFFF]");
  EXPECT_EQ(box.input.Preset, "0003");
  ASSERT_TRUE(box.pending);
  EXPECT_EQ(d.commands.AnswerUnitNr(*box.pending, std::nullopt, false).kind, Step::Nothing);

  for (const std::string answer : {"0", "12345", "xyz", "-5", "", " ", "0x12", "1 2"}) {
    const CommandStep refused = d.commands.AnswerUnitNr(*box.pending, answer, false);
    EXPECT_EQ(refused.kind, Step::Refused) << answer;
    EXPECT_EQ(refused.sound, 1);
    EXPECT_EQ(refused.boxText, "\"" + std::string(TrimText(answer)) +
                                   "\" - not valid UnitID\r\nValid UnitID is in range "
                                   "[0001..FFFF]");
  }
  d.e.Unit(0x1A2B).Active = 1;
  EXPECT_EQ(d.commands.AnswerUnitNr(*box.pending, "1a2b", false).boxText,
            "Such UnitID 1A2B already exists\r\nCommand can not be proceed");
  EXPECT_TRUE(tcp->sent.empty());

  d.e.Unit(0x1A2B).Active = 0;
  d.e.Unit(0x1A2B).Reserved = 1;
  const CommandStep sent = d.commands.AnswerUnitNr(*box.pending, " 1a2b ", false);
  ASSERT_EQ(sent.kind, Step::Sent);
  EXPECT_EQ(tcp->sent, Lines{AddCrc8(Bytes({0x2B, 0, 0, 0, 3, 0, 0, 0}) + testing::kImei +
                                     Bytes({0xB, 0x2, 0xA, 0x1}))});
  EXPECT_TRUE(d.e.log.Has(Kind::All, "Send Cmd <Change UnitID> to Unit 0003"));

  // Ctrl is read again at the answer.
  EXPECT_EQ(d.commands.AnswerUnitNr(*box.pending, "00FFFF", true).kind, Step::Queued);
}

TEST_F(UnitCommandsTest, CustomCommandsSendTheirLinesPayload) {
  LoadCustom("X=1\r\nRelay on = 0x0101\nAT=\"AT+X\"\rbad=0x0G\n");
  Heard(tcp, 3);
  d.e.Unit(3).Account = "1234";

  const CommandStep step = d.commands.SendCustomCMD(0, 3, false);
  ASSERT_EQ(step.kind, Step::Sent);
  const std::string frame = AddCrc8(Bytes({0x2D, 0, 0, 0, 3, 0, 0, 0, 0x31}));
  EXPECT_EQ(tcp->sent, Lines{frame});
  EXPECT_EQ(step.logLine, "Send Cmd <X> to Unit 0003 (0x1234 0x10.0.0.5:4001): 0x" +
                              StrToHexText(frame) + " [Frame ID: 5]");
  EXPECT_EQ(d.e.observer.Count(Counter::SendCmd), 1);

  d.commands.SendCustomCMD(1, 3, false);
  d.commands.SendCustomCMD(2, 3, false);
  EXPECT_EQ(tcp->sent[1], AddCrc8(Bytes({0x2D, 0, 0, 0, 3, 0, 0, 0, 1, 1})));
  EXPECT_EQ(tcp->sent[2], AddCrc8(Bytes({0x2D, 0, 0, 0, 3, 0, 0, 0}) + "AT+X"));

  tcp->sent.clear();
  EXPECT_EQ(d.commands.SendCustomCMD(3, 3, false).kind, Step::Nothing);  // not valid
  EXPECT_EQ(d.commands.SendCustomCMD(4, 3, false).kind, Step::Nothing);  // no such line
  EXPECT_TRUE(tcp->sent.empty());

  // With Ctrl it is queued under its caption, whatever the transport.
  EXPECT_EQ(d.commands.SendCustomCMD(1, 3, true).kind, Step::Queued);
  EXPECT_EQ(d.commands.CmdBufferNames(3), Lines{"Relay on"});
}

TEST_F(UnitCommandsTest, ACustomCommandReachesAUdpUnitOnlyWhileItIsTheUnitHeardLast) {
  LoadCustom("X=1");
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  Heard(udp, 3);
  EXPECT_EQ(d.commands.SendCustomCMD(0, 3, false).kind, Step::Sent);
  udp->address = "10.0.0.4";
  d.e.processor.ProcessRecMsg(udp, Ping(4, 1));
  udp->sent.clear();
  EXPECT_EQ(d.commands.SendCustomCMD(0, 3, false).kind, Step::Queued);
  EXPECT_TRUE(udp->sent.empty());
}

TEST_F(UnitCommandsTest, ACustomPayloadTooLongForTheCipherIsRefusedForAnEncryptingUnit) {
  LoadCustom("Long=" + std::string(300, 'a') + "\nEdge=" + std::string(253, 'b'));
  d.e.processor.ProcessRecMsg(tcp, Encrypted(UnitFrame(35, 0x0007, 3)));
  tcp->sent.clear();
  d.e.log.Clear();

  const CommandStep refused = d.commands.SendCustomCMD(0, 3, false);
  EXPECT_EQ(refused.kind, Step::Refused);
  EXPECT_EQ(refused.boxText,
            "Custom command <Long> has 300 payload bytes: Unit 0003 encrypts, and an encrypted "
            "command holds 253 at most\r\nCommand can not be proceed");
  EXPECT_EQ(d.commands.SendCustomCMD(0, 3, true).kind, Step::Refused);
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_EQ(d.e.tables.FrameIDByUnit[3], 7);

  ASSERT_EQ(d.commands.SendCustomCMD(1, 3, false).kind, Step::Sent);
  EXPECT_EQ(Decrypted(tcp->sent[0]).substr(8), std::string(253, 'b'));
  EXPECT_TRUE(d.e.log.ErrNames().empty());

  // A unit that does not encrypt takes the long payload as it is.
  auto plain = MakeTcpRoute("10.0.0.6", 4006);
  Heard(plain, 6);
  ASSERT_EQ(d.commands.SendCustomCMD(0, 6, false).kind, Step::Sent);
  EXPECT_EQ(plain->sent[0].substr(8, 300), std::string(300, 'a'));
}

TEST_F(UnitCommandsTest, ACommandForNoRowDoesNothing) {
  Heard(tcp, 3);
  LoadCustom("X=1");
  for (const int64_t unit : {-1LL, 65536LL, 4LL, 1LL << 40}) {
    EXPECT_EQ(d.commands.SendCMD("Get Ping", unit, false).kind, Step::Nothing);
    EXPECT_EQ(d.commands.SendCustomCMD(0, unit, true).kind, Step::Nothing);
    EXPECT_TRUE(d.commands.CmdBufferNames(unit).empty());
    d.commands.ClearCmdBuffer(unit);
  }
  // The row was deleted while its input box was open.
  d.e.Unit(3).Imei = testing::kImei;
  const CommandStep box = d.commands.SendCMD("Change UnitID", 3, false);
  d.e.Unit(3).Active = 0;
  EXPECT_EQ(d.commands.AnswerUnitNr(*box.pending, "0010", false).kind, Step::Nothing);
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_TRUE(d.e.log.entries.empty());
}

}  // namespace
}  // namespace talvero
