#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/cmd_buffer_entry.hpp"
#include "engine/command_frames.hpp"
#include "frame_engine.hpp"
#include "protocol/hex_text.hpp"
#include "unit_frames.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testing::At;
using testing::Bytes;
using testing::Decrypted;
using testing::Encrypted;
using testing::MakeTcpRoute;
using testing::MakeUdpBinding;
using testing::Ping;
using testing::Plain;
using testing::RecordingLogger;
using testing::UnitFrame;
using Kind = RecordingLogger::Kind;
using Lines = std::vector<std::string>;

const std::string kGetPing = AddCrc8(Bytes({0x24, 0, 0, 0, 3, 0, 0, 0}));

TEST(CommandFrames, CmdIDToCmdssPutsCodeAndUnitIntoAZeroFrame) {
  RecordingLogger log;
  EXPECT_EQ(cmdID_to_cmdss(8, 36, 0x0003, log), Bytes({0x24, 0, 0, 0, 3, 0, 0, 0}));
  EXPECT_EQ(cmdID_to_cmdss(14, 42, 0xFFFF, log),
            Bytes({0x2A, 0, 0, 0, 15, 15, 15, 15, 0, 0, 0, 0, 0, 0}));
  std::string close3 = cmdID_to_cmdss(10, 39, 0x0012, log);
  close3[8] = 1;
  close3[9] = 2;
  EXPECT_EQ(close3, Bytes({0x27, 0, 0, 0, 2, 1, 0, 0, 1, 2}));
  EXPECT_TRUE(log.entries.empty());

  EXPECT_EQ(cmdID_to_cmdss(5, 36, 3, log), "");
  EXPECT_EQ(log.ErrNames(), Lines{"cmdID_to_cmdss"});
}

TEST(CommandFrames, ACommandToAnEncryptingUnitTakesItsNextFrameNumber) {
  RecordingLogger log;
  UnitTables tables;
  const Settings settings;
  const std::string command = Bytes({0x24, 0, 0, 0, 3, 0, 0, 0});

  EXPECT_EQ(SealCommand(command, 3, tables, settings, log), AddCrc8(command));
  EXPECT_EQ(tables.FrameIDByUnit[3], 0);

  tables.EncrByUnit[3] = 1;
  tables.FrameIDByUnit[3] = 7;
  const std::string first = SealCommand(command, 3, tables, settings, log);
  const std::string second = SealCommand(command, 3, tables, settings, log);
  EXPECT_TRUE(CheckCrc8(first));
  EXPECT_EQ(first.substr(0, 4), Bytes({0x24, 1, 0, 8}));
  EXPECT_EQ(second.substr(0, 4), Bytes({0x24, 1, 0, 9}));
  EXPECT_EQ(Decrypted(first).substr(4), command.substr(4));
  EXPECT_NE(first.substr(4, 4), command.substr(4, 4));
  EXPECT_EQ(tables.FrameIDByUnit[3], 9);
}

TEST(CommandFrames, EntriesSplitAtTheFirstEqualsSign) {
  const std::string entry = MakeCmdEntry("Get Ping", "a=b");
  EXPECT_EQ(entry, "Get Ping=a=b");
  EXPECT_EQ(CmdEntryName(entry), "Get Ping");
  EXPECT_EQ(CmdEntryFrame(entry), "a=b");
  EXPECT_EQ(CmdEntryName("no frame"), "no frame");
  EXPECT_EQ(CmdEntryFrame("no frame"), "");
}

// Buffered commands are the desktop host's: its tests run there unless they say otherwise.
class BufferedCommandsTest : public testing::FrameEngineTest {
 protected:
  BufferedCommandsTest() : FrameEngineTest(HostKind::Desktop) {}
};

TEST_F(BufferedCommandsTest, TwoFramesInQuickSuccessionGiveOneSendingASecondAfterTheLast) {
  auto& e = Engine();
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
  e.processor.ProcessRecMsg(tcp, Ping(3, 5));
  e.time.Advance(300ms);
  e.processor.ProcessRecMsg(tcp, Ping(3, 6));
  const TDateTime second = e.time.Now();
  e.time.Advance(999ms);
  EXPECT_EQ(tcp->sent.size(), 2u);  // the two acknowledgements
  e.time.Advance(1ms);
  ASSERT_EQ(tcp->sent.size(), 3u);
  EXPECT_EQ(tcp->sent[2], kGetPing);
  EXPECT_EQ(e.Unit(3).CmdSentTime, AddMilliseconds(second, 1000));
  EXPECT_EQ(e.log.Texts(Kind::All).back(), "\0Send Buf-Cmd <Get Ping> to Unit 0003: 0x"s +
                                               StrToHexText(kGetPing) + " [Frame ID: 6]");
  EXPECT_EQ(e.observer.Count(Counter::SendCmd), 1);
  EXPECT_TRUE(e.observer.sounds.empty());

  e.time.Advance(20s);
  EXPECT_EQ(tcp->sent.size(), 3u);
  EXPECT_EQ(e.Unit(3).CmdBuffer.size(), 1u);  // stays until a frame confirms it
}

TEST_F(BufferedCommandsTest, TheUnitsNextFrameConfirmsTheCommandUnlessItComesTooLate) {
  auto& e = Engine();
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing), MakeCmdEntry("Reset Device", "R")};
  e.processor.ProcessRecMsg(tcp, Ping(3, 5));
  e.time.Advance(1s);
  ASSERT_EQ(tcp->sent.back(), kGetPing);

  e.time.Advance(3s);
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(1, 6, 3, Bytes({24, 3, 7, 9, 0, 4}))));
  EXPECT_TRUE(e.log.Has(Kind::All, "Delete Buf-Cmd: <Get Ping>"));
  e.time.Advance(1s);
  EXPECT_EQ(tcp->sent.back(), "R");

  // Silent for 15 s: the next frame confirms nothing and the head goes out again.
  e.time.Advance(15s);
  e.processor.ProcessRecMsg(tcp, Ping(3, 7));
  e.time.Advance(1s);
  EXPECT_EQ(e.Unit(3).CmdBuffer, Lines{"Reset Device=R"});
  EXPECT_EQ(tcp->sent.back(), "R");
  EXPECT_EQ(e.observer.Count(Counter::SendCmd), 3);
}

TEST_F(BufferedCommandsTest, AQueuedSetTimeCarriesTheTimeOfItsSending) {
  auto& e = Engine();
  RecordingLogger scratch;
  const std::string queued =
      SetTimeCommand(3, At(2024, 3, 7, 8, 0, 0), e.tables, e.settings, scratch);
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Set Time", queued)};
  e.processor.ProcessRecMsg(tcp, Encrypted(UnitFrame(35, 0x0010, 3)));
  e.time.Advance(1s);

  ASSERT_EQ(tcp->sent.size(), 2u);
  const std::string& sent = tcp->sent[1];
  EXPECT_EQ(sent.substr(0, 4), Bytes({0x2A, 1, 0x00, 0x11}));
  EXPECT_EQ(Decrypted(sent), Bytes({0x2A, 1, 0, 0x11, 3, 0, 0, 0, 24, 3, 7, 9, 0, 1}));
  EXPECT_EQ(e.Unit(3).CmdBuffer, Lines{"Set Time=" + queued});  // the entry itself stays
  EXPECT_TRUE(e.log.Has(Kind::All, "[Frame ID: 17]"));
}

TEST_F(BufferedCommandsTest, AUdpUnitGetsItsCommandOnlyWhileItIsTheUnitHeardLast) {
  auto& e = Engine();
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
  e.processor.ProcessRecMsg(udp, Ping(3, 5));
  e.time.Advance(1s);
  EXPECT_EQ(udp->sent.back(), kGetPing);
  e.time.Advance(20s);
  udp->sent.clear();
  e.log.Clear();

  // Another unit reports on the same binding within the second.
  e.processor.ProcessRecMsg(udp, Ping(3, 6));
  e.time.Advance(500ms);
  udp->address = "10.0.0.4";
  e.processor.ProcessRecMsg(udp, Ping(4, 1));
  e.time.Advance(2s);
  EXPECT_EQ(udp->sent.size(), 2u);  // the two acknowledgements only
  EXPECT_FALSE(e.log.Has(Kind::All, "Send Buf-Cmd"s));
}

TEST_F(BufferedCommandsTest, ADatagramThatFailsTheChecksumKeepsTheCommandFromItsSender) {
  auto& e = Engine();
  auto udp = MakeUdpBinding("10.0.0.3", 5003);
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
  e.processor.ProcessRecMsg(udp, Ping(3, 5));
  e.time.Advance(500ms);
  udp->address = "10.0.0.4";
  std::string broken = Ping(4, 1);
  broken.back() = static_cast<char>(broken.back() ^ 1);
  e.processor.ProcessRecMsg(udp, broken);
  ASSERT_EQ(e.processor.LastUnitText(), "0003");
  e.time.Advance(1s);
  for (const std::string& frame : udp->sent) {
    EXPECT_NE(frame, kGetPing);
  }

  // Once the unit itself is heard again, the binding points back at it.
  udp->address = "10.0.0.3";
  e.processor.ProcessRecMsg(udp, Ping(3, 6));
  e.time.Advance(1s);
  EXPECT_EQ(udp->sent.back(), kGetPing);
}

TEST_F(BufferedCommandsTest, ATcpUnitGetsItsCommandWhateverUnitWasHeardLast) {
  for (const HostKind host : {HostKind::Desktop, HostKind::Service}) {
    auto& e = Engine(host);
    auto other = MakeTcpRoute("10.0.0.4", 4004);
    tcp->sent.clear();
    e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
    e.processor.ProcessRecMsg(tcp, Ping(3, 5));
    e.time.Advance(500ms);
    e.processor.ProcessRecMsg(other, Ping(4, 1));
    e.time.Advance(500ms);
    EXPECT_EQ(tcp->sent.back(), kGetPing);
    EXPECT_EQ(other->sent.size(), 1u);
    EXPECT_EQ(e.observer.Count(Counter::SendCmd), host == HostKind::Desktop ? 1 : 0);
  }
}

TEST_F(BufferedCommandsTest, AUnitWhoseConnectionHasGoneGetsNothingAndNoOneElseDoes) {
  auto& e = Engine();
  auto other = MakeTcpRoute("10.0.0.4", 4004);
  {
    auto gone = MakeTcpRoute("10.0.0.3", 4003);
    e.processor.ProcessRecMsg(gone, Ping(3, 5));
  }
  e.processor.ProcessRecMsg(other, Ping(4, 1));
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
  e.log.Clear();

  e.processor.DeliverBufCmd("0003");
  EXPECT_EQ(e.log.ErrNames(), Lines{"RealSend"});
  EXPECT_EQ(other->sent.size(), 1u);
  // Counted and logged as sent all the same, as every failed RealSend is.
  EXPECT_TRUE(e.log.Has(Kind::All, "Send Buf-Cmd <Get Ping> to Unit 0003"));
  EXPECT_EQ(e.Unit(3).CmdSentTime, e.time.Now());
}

TEST_F(BufferedCommandsTest, KeysThatAreNoUnitAndEmptyBuffersSendNothing) {
  auto& e = Engine();
  e.processor.ProcessRecMsg(tcp, Ping(3, 5));
  e.Unit(3).CmdBuffer = {MakeCmdEntry("Get Ping", kGetPing)};
  tcp->sent.clear();
  e.log.Clear();
  for (const std::string key : {"", "3", "00003", "xyz!", "0x03"}) {
    e.processor.DeliverBufCmd(key);
  }
  e.processor.DeliverBufCmd("0004");
  e.processor.SendCMDFromBuf(4);
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_TRUE(e.log.entries.empty());

  e.processor.DeliverBufCmd("0003");
  EXPECT_EQ(tcp->sent, Lines{kGetPing});
}

}  // namespace
}  // namespace talvero
