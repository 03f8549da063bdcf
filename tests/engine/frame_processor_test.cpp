#include "engine/frame_processor.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/runtime_metrics.hpp"
#include "frame_engine.hpp"
#include "protocol/hex_text.hpp"
#include "station/station_journal.hpp"
#include "unit_frames.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using testing::Bytes;
using testing::Encrypted;
using testing::EventPayload;
using testing::kEngineNowBytes;
using testing::kImei;
using testing::MakeUdpBinding;
using testing::Plain;
using testing::RecordingLogger;
using testing::UnitFrame;
using Kind = testing::RecordingLogger::Kind;
using Lines = std::vector<std::string>;

// The 15-byte Ack or Nack the engine answers with at the fixtures' time.
std::string Answer(int type, const std::string& bytes2to7) {
  return AddCrc8(Bytes({type, 0}) + bytes2to7 + kEngineNowBytes);
}

std::string Event(uint16_t frameID, uint16_t unit, std::string_view code = "1130",
                  std::initializer_list<int> dateTime = {24, 3, 7, 8, 59, 30}) {
  return UnitFrame(6, frameID, unit, EventPayload(dateTime, "1234", code, "01", "005"));
}

class FrameProcessorTest : public testing::FrameEngineTest {};

struct RejectCase {
  std::string name;
  std::string frame;
  std::string message;  // with the peer, the length and the hex text to fill in
  std::string nackBytes2to7;
  FrameRefusal reason;
};

std::vector<RejectCase> RejectCases() {
  const std::string ping = Plain(UnitFrame(35, 5, 3));
  std::string badCrc = ping;
  badCrc.back() = static_cast<char>(badCrc.back() ^ 0x5A);
  const std::string echo = Bytes({0, 5, 3, 0, 0, 0});
  const std::string zeros(6, '\0');
  return {
      {"8 bytes", Bytes({0x23, 0, 0, 5, 3, 0, 0, 0}),
       "Receive TOO SHORT STRING from {} ({} b.): 0x{}", echo, FrameRefusal::Size},
      {"5 bytes", Bytes({0x23, 0, 0, 5, 3}), "Receive TOO SHORT STRING from {} ({} b.): 0x{}",
       zeros, FrameRefusal::Size},
      {"0 bytes", "", "Receive TOO SHORT STRING from {} ({} b.): 0x{}", zeros, FrameRefusal::Size},
      {"bad CRC", badCrc, "Receive msg, containing INVALID CRC. Msg from {} ({} b.): 0x{}", echo,
       FrameRefusal::Checksum},
      {"type 3", Plain(UnitFrame(3, 5, 3)),
       "Receive msg, containing INVALID FrameType (0x03). Msg from {} ({} b.): 0x{}", echo,
       FrameRefusal::Type},
      {"marker 2", Encrypted(UnitFrame(35, 5, 3), "9873", 2),
       "Receive msg, containing INVALID EncrMarker. Msg from {} ({} b.): 0x{}", echo,
       FrameRefusal::Decryption},
      {"type 6 of 15 bytes", Plain(UnitFrame(6, 5, 3, std::string(6, '\0'))),
       "Receive INVALID Size STRING from {} ({} b.): 0x{}", echo, FrameRefusal::Size},
      {"encrypted ping of 10 bytes", Encrypted(UnitFrame(35, 5, 3, "x")),
       "Receive INVALID Size STRING from {} ({} b.): 0x{}", echo, FrameRefusal::Size},
  };
}

TEST_F(FrameProcessorTest, RejectedFramesAreAnsweredWithNackAndLeaveTheRecordAlone) {
  for (const HostKind host : {HostKind::Service, HostKind::Desktop}) {
    for (const RejectCase& c : RejectCases()) {
      SCOPED_TRACE(c.name + (host == HostKind::Desktop ? " (desktop)" : " (service)"));
      auto& e = Engine(host);
      tcp->sent.clear();
      const RuntimeMetrics& m = Metrics();
      const auto refusedBefore = m.framesRefused;
      const uint64_t nacksBefore = m.nacksSent;
      const uint64_t acksBefore = m.acksSent;
      const uint64_t receivedBefore =
          m.framesReceived[0][c.frame.empty() ? 0 : uint8_t(c.frame[0])];
      e.processor.ProcessRecMsg(tcp, c.frame);
      for (size_t reason = 0; reason < kFrameRefusalCount; ++reason) {
        EXPECT_EQ(m.framesRefused[reason] - refusedBefore[reason],
                  reason == static_cast<size_t>(c.reason) ? 1u : 0u)
            << reason;
      }
      EXPECT_EQ(m.nacksSent - nacksBefore, 1u);
      EXPECT_EQ(m.acksSent, acksBefore);
      EXPECT_EQ(m.framesReceived[0][c.frame.empty() ? 0 : uint8_t(c.frame[0])] - receivedBefore,
                1u);

      const std::string message =
          fmt::format(fmt::runtime(c.message), "10.0.0.5", c.frame.size(), StrToHexText(c.frame));
      EXPECT_EQ(e.log.Texts(Kind::Imp), Lines{message});
      EXPECT_EQ(tcp->sent, Lines{Answer(2, c.nackBytes2to7)});
      EXPECT_EQ(e.log.Has(Kind::All, "Send NACK"), host == HostKind::Desktop);
      EXPECT_EQ(e.Unit(3).Active, 0);
      EXPECT_TRUE(e.Unit(3).TcpConn.expired());
      EXPECT_TRUE(e.port.writes.empty());
      EXPECT_TRUE(e.log.ErrNames().empty());
    }
  }
}

TEST_F(FrameProcessorTest, TemperaturesAreRejectedOnlyByTheServiceHost) {
  const std::string frame = Plain(UnitFrame(45, 5, 3, std::string(33, '\0')));
  auto& service = Engine(HostKind::Service);
  service.processor.ProcessRecMsg(tcp, frame);
  EXPECT_EQ(service.log.Texts(Kind::Imp),
            Lines{fmt::format("Receive msg, containing INVALID FrameType (0x2D). Msg from "
                              "10.0.0.5 (42 b.): 0x{}",
                              StrToHexText(frame))});
  EXPECT_EQ(tcp->sent, Lines{Answer(2, Bytes({0, 5, 3, 0, 0, 0}))});

  tcp->sent.clear();
  auto& desktop = Engine(HostKind::Desktop);
  desktop.processor.ProcessRecMsg(tcp, frame);
  EXPECT_TRUE(desktop.log.Has(Kind::All, "[Unit 0003] [Account ] [FrameID=5] [TEMPERATURES]"));
  EXPECT_EQ(tcp->sent, Lines{Answer(1, Bytes({0, 5, 3, 0, 0, 0}))});
}

TEST_F(FrameProcessorTest, FramesPastTheChecksumSetTheUnitsMarkerAndCounterEvenWhenRejected) {
  auto& e = Engine();
  e.tables.EncrByUnit[3] = 1;
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(6, 0x1234, 3, std::string(6, '\0'))));
  EXPECT_EQ(e.tables.EncrByUnit[3], 0);
  EXPECT_EQ(e.tables.FrameIDByUnit[3], 0x1234);

  e.processor.ProcessRecMsg(tcp, Encrypted(UnitFrame(6, 0x0042, 3, std::string(6, '\0'))));
  EXPECT_EQ(e.tables.EncrByUnit[3], 1);
  EXPECT_EQ(e.tables.FrameIDByUnit[3], 0x0042);

  // A broken checksum stops before the tables.
  std::string broken = Plain(UnitFrame(35, 0x0777, 3));
  broken.back() = static_cast<char>(broken.back() ^ 1);
  e.processor.ProcessRecMsg(tcp, broken);
  EXPECT_EQ(e.tables.FrameIDByUnit[3], 0x0042);
}

TEST_F(FrameProcessorTest, AFrameThatCannotBeDecryptedIsRefusedWithoutReadingPastItsHeader) {
  Settings settings;
  settings.EncryptionKey = "98G3";  // no hexadecimal pair: the cipher refuses it
  auto& e = Engine(HostKind::Service, settings);
  const std::string frame = Encrypted(Event(5, 3));
  const uint64_t refusedBefore =
      Metrics().framesRefused[static_cast<size_t>(FrameRefusal::Decryption)];
  e.processor.ProcessRecMsg(tcp, frame);
  EXPECT_EQ(Metrics().framesRefused[static_cast<size_t>(FrameRefusal::Decryption)] - refusedBefore,
            1u);

  EXPECT_EQ(e.log.ErrNames(), Lines{"Encryption"});
  EXPECT_EQ(e.log.Texts(Kind::Imp),
            Lines{fmt::format("Receive INVALID Size STRING from 10.0.0.5 (28 b.): 0x{}",
                              StrToHexText(frame))});
  // Only the four header bytes are left: the Nack carries no unit.
  EXPECT_EQ(tcp->sent, Lines{Answer(2, std::string(6, '\0'))});
  EXPECT_TRUE(e.port.writes.empty());
  EXPECT_EQ(e.Unit(0xFFFF).Active, 0);
}

TEST_F(FrameProcessorTest, AnEncryptedFrameOfAnySizeIsRefusedBySizeAndNeverReachesTheErrorsLog) {
  // Bodies (bytes 4 to the checksum) up to the cipher's working space and beyond it.
  for (const size_t body : {size_t{257}, size_t{258}, size_t{8187}}) {
    SCOPED_TRACE(body);
    auto& e = Engine();
    tcp->sent.clear();
    const std::string frame = AddCrc8(Bytes({35, 1, 0, 5}) + std::string(body, '\x41'));
    e.processor.ProcessRecMsg(tcp, frame);
    EXPECT_TRUE(e.log.ErrNames().empty());
    EXPECT_EQ(e.log.Texts(Kind::Imp),
              Lines{fmt::format("Receive INVALID Size STRING from 10.0.0.5 ({} b.): 0x{}",
                                frame.size(), StrToHexText(frame))});
    ASSERT_EQ(tcp->sent.size(), 1u);
    EXPECT_EQ(tcp->sent[0][0], 2);
  }
}

TEST_F(FrameProcessorTest, TheReceiveLineIsSeparatedOnTheServiceHostAndCountedOnTheDesktop) {
  const std::string ping = Plain(UnitFrame(35, 5, 3));
  const std::string line =
      fmt::format("Receive from TCP 10.0.0.5:4001 (9 b.): 0x{}", StrToHexText(ping));

  auto& service = Engine(HostKind::Service);
  service.processor.ProcessRecMsg(tcp, ping);
  EXPECT_EQ(service.log.Texts(Kind::All).front(), "\0"s + line);
  EXPECT_EQ(service.observer.Count(Counter::ReceiveMsg), 0);
  EXPECT_FALSE(service.log.Has(Kind::All, "Send ACK"));

  auto& desktop = Engine(HostKind::Desktop);
  desktop.processor.ProcessRecMsg(tcp, ping);
  desktop.processor.ProcessRecMsg(tcp, "");
  desktop.processor.ProcessRecMsg(nullptr, ping);
  EXPECT_EQ(desktop.log.Texts(Kind::All).front(), line);
  EXPECT_TRUE(desktop.log.Has(Kind::All, "Send ACK"));
  EXPECT_EQ(desktop.observer.Count(Counter::ReceiveMsg), 3);
}

TEST_F(FrameProcessorTest, AFrameWithoutARouteIsLoggedAndNotAnswered) {
  auto& e = Engine();
  e.processor.ProcessRecMsg(nullptr, Bytes({0x23, 0x00, 0xAB}));
  EXPECT_EQ(e.log.entries, (std::vector<testing::RecordingLogger::Entry>{
                               {Kind::Imp, "UNKN TR.PROTO: CAN NOT PROCESS THIS DATA: 2300AB"}}));
}

TEST_F(FrameProcessorTest, AnEncryptedEventIsDecodedAcknowledgedAndSentToTheStation) {
  auto& e = Engine();
  const std::string frame = Encrypted(Event(5, 3));
  ASSERT_EQ(frame.size(), 28u);
  e.processor.ProcessRecMsg(tcp, frame);

  EXPECT_TRUE(e.log.Has(Kind::All,
                        "[Unit 0003] [Account 1234] [FrameID=5] [dt=2024-03-07 08:59:30] "
                        "[CID=E130-01-005]"));
  EXPECT_EQ(tcp->sent, Lines{Answer(1, Bytes({0, 5, 3, 0, 0, 0}))});
  EXPECT_EQ(e.port.writes, Lines{"5077 181234E13001005\x14"});
  EXPECT_EQ(e.tables.EncrByUnit[3], 1);
  EXPECT_EQ(e.Unit(3).Account, "1234");
}

TEST_F(FrameProcessorTest, TheEventLineCarriesQualifierReceiverAndLineNumber) {
  struct Case {
    int receiver;
    int line;
    std::string code;
    std::string expected;
  };
  const Case cases[] = {
      {1, 1, "1130", "5011 181234E13001005"},  {7, 3, "1130", "5073 181234E13001005"},
      {7, 3, "3130", "5073 181234R13001005"},  {7, 3, "6401", "5073 181234R40101005"},
      {12, 0, "1602", "5120 181234E60201005"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Settings settings;
    settings.ReceiverNumber = c.receiver;
    settings.LineNumber = c.line;
    auto& e = Engine(HostKind::Service, settings);
    e.processor.ProcessRecMsg(tcp, Plain(Event(5, 3, c.code)));
    EXPECT_EQ(e.port.writes, Lines{c.expected + "\x14"});
  }
}

TEST_F(FrameProcessorTest, AnEventWithAnImpossibleDateIsRefusedYetReachesTheStation) {
  auto& e = Engine();
  e.processor.ProcessRecMsg(tcp, Plain(Event(5, 3, "1130", {24, 13, 7, 8, 59, 30})));
  EXPECT_TRUE(e.log.Has(Kind::All, "[FrameID=5] [dt=2024-03-07 09:00:00] [CID=E130-01-005]"));
  EXPECT_EQ(tcp->sent, Lines{Answer(2, Bytes({0, 5, 3, 0, 0, 0}))});
  EXPECT_EQ(e.port.writes, Lines{"5077 181234E13001005\x14"});
  EXPECT_EQ(e.Unit(3).Active, 1);
}

TEST_F(FrameProcessorTest, AnEventIsAcknowledgedOnlyOnceItsLineIsJournaled) {
  for (const bool journalWorks : {true, false}) {
    SCOPED_TRACE(journalWorks);
    auto& e = Engine();
    const auto path = e.dir.path() / "Talvero_station.jnl";
    if (!journalWorks) {
      std::filesystem::create_directories(path);  // a folder: nothing can be written there
    }
    StationJournal journal(path, e.log);
    e.link.SetJournal(&journal);
    tcp->sent.clear();
    e.processor.ProcessRecMsg(tcp, Plain(Event(5, 3)));
    // The station hears of the alarm either way.
    EXPECT_EQ(e.port.writes, Lines{"5077 181234E13001005\x14"});
    const int answerType = journalWorks ? 1 : 2;
    EXPECT_EQ(tcp->sent, Lines{Answer(answerType, Bytes({0, 5, 3, 0, 0, 0}))});
    EXPECT_EQ(e.log.ErrNames(), journalWorks ? Lines{} : Lines{"StationJournal"});
    if (journalWorks) {
      RecordingLogger quiet;
      EXPECT_EQ(StationJournal(path, quiet).Replay(), Lines{"5077 181234E13001005"});
    }
    e.link.SetJournal(nullptr);
  }
}

TEST_F(FrameProcessorTest, TheNewAccountIsTakenBeforeTheRestoreLineIsQueued) {
  auto& e = Engine();
  e.Unit(3).Active = 1;
  e.Unit(3).CommTrFlags = kCommTrLevel1;
  e.processor.ProcessRecMsg(tcp, Plain(Event(5, 3)));
  EXPECT_EQ(e.Unit(3).CommTrFlags, 0);
  // The restore line was queued first, so it is on the line and the event waits.
  EXPECT_EQ(Lines(e.link.Queue().begin(), e.link.Queue().end()),
            (Lines{"5077 181234R35000000", "5077 181234E13001005"}));
  EXPECT_EQ(e.port.writes, Lines{"5077 181234R35000000\x14"});
  EXPECT_TRUE(e.log.Has(Kind::All, "[Unit 0003] [Account 1234] - CommRestore"));
}

TEST_F(FrameProcessorTest, SetTimeRequestIsAnsweredWithTheTimeInTheUnitsOwnEncryption) {
  struct Case {
    std::string name;
    bool encrypted;
    uint16_t frameID;
    std::string idBytes;  // bytes 2..3 of the answer
    uint16_t counterAfter;
  };
  const Case cases[] = {
      {"plain", false, 0x0005, Bytes({0, 5}), 0x0005},
      {"encrypted", true, 0x0005, Bytes({0, 6}), 0x0006},
      {"encrypted, counter wraps", true, 0xFFFF, Bytes({0, 0}), 0x0000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& e = Engine();
    tcp->sent.clear();
    const std::string request = UnitFrame(10, c.frameID, 3);
    e.processor.ProcessRecMsg(tcp, c.encrypted ? Encrypted(request) : Plain(request));

    ASSERT_EQ(tcp->sent.size(), 1u);
    const std::string& answer = tcp->sent[0];
    ASSERT_EQ(answer.size(), 11u);
    EXPECT_TRUE(CheckCrc8(answer));
    EXPECT_EQ(answer.substr(0, 4), Bytes({11, c.encrypted ? 1 : 0}) + c.idBytes);
    const std::string body = c.encrypted ? testing::Decrypted(answer) : answer.substr(0, 10);
    EXPECT_EQ(body.substr(4), kEngineNowBytes);
    EXPECT_EQ(e.tables.FrameIDByUnit[3], c.counterAfter);
    EXPECT_TRUE(e.log.Has(Kind::All, "[Unit 0003] [Account ] [FrameID=" +
                                         std::to_string(c.frameID) + "] [Set Time Request]"));
    EXPECT_EQ(e.log.Texts(Kind::All).back(), "Send New Time  (0x" + StrToHexText(answer) + ")");
  }
}

TEST_F(FrameProcessorTest, ChangeUnitNrRequestsReserveOneNewNumberEach) {
  auto& e = Engine();
  e.Unit(1).Active = 1;
  e.Unit(2).Active = 1;
  const std::string request = Plain(UnitFrame(32, 7, 0x0A00, kImei));
  e.processor.ProcessRecMsg(tcp, request);
  e.processor.ProcessRecMsg(tcp, request);

  EXPECT_EQ(tcp->sent, (Lines{AddCrc8(Bytes({33, 0, 0, 7}) + kImei + Bytes({3, 0, 0, 0})),
                              AddCrc8(Bytes({33, 0, 0, 7}) + kImei + Bytes({4, 0, 0, 0}))}));
  EXPECT_TRUE(e.log.Has(Kind::All,
                        "[Unit 0A00] [Account ] [FrameID=7] [Change UnitNr Request] "
                        "[imei=351234567890123]"));
  EXPECT_TRUE(e.log.Has(Kind::All, "Find First Free UnitNr: 0003"));
  EXPECT_TRUE(e.log.Has(Kind::All, "Find First Free UnitNr: 0004"));
  EXPECT_TRUE(
      e.log.Has(Kind::All, "Send New UnitNr=\"0004\"  (0x" + StrToHexText(tcp->sent[1]) + ")"));
  EXPECT_EQ(e.Unit(3).Reserved, 1);
  EXPECT_EQ(e.Unit(0x0A00).Imei, kImei);
}

TEST_F(FrameProcessorTest, TheNewUnitNrAnswerOfAnEncryptingUnitIsEncrypted) {
  auto& e = Engine();
  e.processor.ProcessRecMsg(tcp, Encrypted(UnitFrame(32, 7, 0x0A00, kImei)));
  ASSERT_EQ(tcp->sent.size(), 1u);
  EXPECT_EQ(tcp->sent[0].substr(0, 4), Bytes({33, 1, 0, 8}));
  EXPECT_EQ(testing::Decrypted(tcp->sent[0]), Bytes({33, 1, 0, 8}) + kImei + Bytes({1, 0, 0, 0}));
}

TEST_F(FrameProcessorTest, PlainReportsAreLoggedAndAcknowledged) {
  struct Case {
    std::string name;
    std::string frame;
    std::string line;
  };
  const Case cases[] = {
      {"ping", Plain(UnitFrame(35, 5, 3)), "[Unit 0003] [Account ] [FrameID=5] [Ping]"},
      {"ping with IMEI and firmware", Plain(UnitFrame(34, 5, 3, kImei + Bytes({2, 1, 17}))),
       "[Unit 0003] [Account ] [FrameID=5] [Ping/imei/fwVer] [imei=351234567890123] "
       "[fwVer=2.1.17]"},
      {"GSM level", Plain(UnitFrame(37, 5, 3, Bytes({7}))),
       "[Unit 0003] [Account ] [FrameID=5] [GSM Level=7]"},
      {"GSM level beyond a digit", Plain(UnitFrame(37, 5, 3, Bytes({200}))),
       "[Unit 0003] [Account ] [FrameID=5] [GSM Level=200]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& e = Engine();
    tcp->sent.clear();
    e.processor.ProcessRecMsg(tcp, c.frame);
    EXPECT_TRUE(e.log.Has(Kind::All, c.line));
    EXPECT_EQ(tcp->sent, Lines{Answer(1, Bytes({0, 5, 3, 0, 0, 0}))});
    EXPECT_EQ(e.Unit(3).Active, 1);
  }
}

TEST_F(FrameProcessorTest, AUnitsAckIsLoggedNotAnsweredAndSoundedOnTheDesktop) {
  const std::string ack = Plain(UnitFrame(1, 5, 3, kEngineNowBytes));
  for (const HostKind host : {HostKind::Service, HostKind::Desktop}) {
    auto& e = Engine(host);
    tcp->sent.clear();
    e.processor.ProcessRecMsg(tcp, ack);
    EXPECT_TRUE(
        e.log.Has(Kind::All, "[Unit 0003] [Account ] [-= Command completed successfully =- ]"));
    EXPECT_TRUE(tcp->sent.empty());
    EXPECT_EQ(e.observer.sounds,
              host == HostKind::Desktop ? std::vector<int>{5} : std::vector<int>{});
  }
}

std::string TemperatureFrame(int count, std::initializer_list<std::array<int, 3>> entries) {
  std::string payload = Bytes({count});
  for (const auto& [sensor, state, degrees] : entries) {
    payload += Bytes({sensor, state, 0, degrees});
  }
  payload.resize(33, '\0');
  return Plain(UnitFrame(45, 5, 3, payload));
}

TEST_F(FrameProcessorTest, TemperaturesAreLoggedEntryByEntryOnTheDesktop) {
  const std::string header = "[Unit 0003] [Account ] [FrameID=5] [TEMPERATURES]";
  struct Case {
    std::string name;
    std::string frame;
    Lines lines;
  };
  const Case cases[] = {
      {"no entry", TemperatureFrame(0, {}), {}},
      {"two connected",
       TemperatureFrame(2, {{1, 1, 21}, {2, 16, 5}}),
       {"[No.1] [-CONNECTED-] [21 oC]", "[No.2] [-CONNECTED-] [-5 oC]"}},
      {"every state",
       TemperatureFrame(
           6, {{1, 1, 21}, {2, 2, 22}, {3, 16, 23}, {4, 17, 24}, {5, 0, 25}, {6, 15, 26}}),
       {"[No.1] [-CONNECTED-] [21 oC]", "[No.2] [-DISCONNECTED/NOT WORKING-] [22 oC]",
        "[No.3] [-CONNECTED-] [-23 oC]", "[No.4] [-DISCONNECTED/NOT WORKING-] [-24 oC]",
        "[No.5] [-NOT CONNECTED-]", "[No.6] [-NOT CONNECTED-]"}},
      {"count above the eight entries a frame holds",
       TemperatureFrame(255, {{1, 1, 1},
                              {2, 1, 2},
                              {3, 1, 3},
                              {4, 1, 4},
                              {5, 1, 5},
                              {6, 1, 6},
                              {7, 1, 7},
                              {8, 2, 8}}),
       {"[No.1] [-CONNECTED-] [1 oC]", "[No.2] [-CONNECTED-] [2 oC]", "[No.3] [-CONNECTED-] [3 oC]",
        "[No.4] [-CONNECTED-] [4 oC]", "[No.5] [-CONNECTED-] [5 oC]", "[No.6] [-CONNECTED-] [6 oC]",
        "[No.7] [-CONNECTED-] [7 oC]", "[No.8] [-DISCONNECTED/NOT WORKING-] [8 oC]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& e = Engine(HostKind::Desktop);
    tcp->sent.clear();
    e.processor.ProcessRecMsg(tcp, c.frame);
    const Lines all = e.log.Texts(Kind::All);
    const auto at = std::find(all.begin(), all.end(), header);
    ASSERT_NE(at, all.end());
    Lines expected = c.lines;
    expected.push_back("Send ACK");
    EXPECT_EQ(Lines(at + 1, all.end()), expected);
    EXPECT_EQ(tcp->sent, Lines{Answer(1, Bytes({0, 5, 3, 0, 0, 0}))});
    EXPECT_TRUE(e.log.ErrNames().empty());
  }
}

TEST_F(FrameProcessorTest, TheRouteOfTheLastFrameIsStoredInTheUnitsRecord) {
  auto& e = Engine();
  auto udp = MakeUdpBinding("10.0.0.9", 5000);
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(35, 5, 3)));
  EXPECT_EQ(e.Unit(3).TcpConn.lock(), tcp);
  EXPECT_TRUE(e.Unit(3).UdpPeer.expired());

  e.processor.ProcessRecMsg(udp, Plain(UnitFrame(35, 6, 3)));
  EXPECT_TRUE(e.Unit(3).TcpConn.expired());
  EXPECT_EQ(e.Unit(3).UdpPeer.lock(), udp);
  EXPECT_TRUE(e.log.Has(Kind::All, "Receive from UDP 10.0.0.9:5000 (9 b.): 0x"));
  EXPECT_EQ(udp->sent.size(), 1u);
}

TEST_F(FrameProcessorTest, DesktopKeepsTheUnitOfTheLastFrameThatPassedTheChecksum) {
  auto& e = Engine(HostKind::Desktop);
  EXPECT_EQ(e.processor.LastUnitText(), "0000");
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(3, 5, 0x1A2B)));  // refused for its type
  EXPECT_EQ(e.processor.LastUnitText(), "1A2B");
  std::string broken = Plain(UnitFrame(35, 5, 0x0003));
  broken.back() = static_cast<char>(broken.back() ^ 1);
  e.processor.ProcessRecMsg(tcp, broken);
  EXPECT_EQ(e.processor.LastUnitText(), "1A2B");
}

TEST_F(FrameProcessorTest, AFrameWhoseUnitFieldCannotBeReadCountsAsUnitFFFFAndIsServed) {
  auto& e = Engine();
  std::string event = Event(5, 3);
  event[5] = 0x20;  // no nibble
  e.processor.ProcessRecMsg(tcp, Plain(event));
  EXPECT_TRUE(e.log.Has(Kind::All, "[Unit FFFF] [Account 1234] [FrameID=5]"));
  EXPECT_EQ(tcp->sent, Lines{Answer(1, Bytes({0, 5, 3, 0x20, 0, 0}))});
  EXPECT_EQ(e.port.writes, Lines{"5077 181234E13001005\x14"});
  EXPECT_EQ(e.Unit(0xFFFF).Active, 1);
}

// A route whose address cannot be read: the failure ends the frame's processing.
class BrokenRoute final : public Transport {
 public:
  TransportKind Kind() const override { return TransportKind::Tcp; }
  void Send(std::string_view) override {}
  std::string PeerAddress() const override { throw std::runtime_error("socket gone"); }
  uint16_t PeerPort() const override { return 0; }
};

TEST_F(FrameProcessorTest, AFailureInsideIsReportedAndNeverEscapes) {
  auto& e = Engine();
  EXPECT_NO_THROW(
      e.processor.ProcessRecMsg(std::make_shared<BrokenRoute>(), Plain(UnitFrame(35, 5, 3))));
  EXPECT_EQ(e.log.ErrNames(), Lines{"ProcessRecMsg"});
  EXPECT_EQ(e.Unit(3).Active, 0);
}

TEST_F(FrameProcessorTest, AnAnswerThatCannotBeWrittenStillLetsTheRecordBeUpdated) {
  auto& e = Engine();
  tcp->fail = true;
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(35, 5, 3)));
  EXPECT_EQ(e.log.ErrNames(), Lines{"RealSend"});
  EXPECT_EQ(e.Unit(3).Active, 1);
}

TEST_F(FrameProcessorTest, AnImpMsgLineThatCannotBeWrittenNeitherSilencesNorStopsTheFrame) {
  auto& e = Engine();
  e.log.failImpMsg = true;
  std::string badCrc = Plain(UnitFrame(35, 5, 3));
  badCrc.back() = static_cast<char>(badCrc.back() ^ 0x5A);
  e.processor.ProcessRecMsg(tcp, badCrc);
  EXPECT_EQ(tcp->sent, Lines{Answer(2, Bytes({0, 5, 3, 0, 0, 0}))});
  EXPECT_EQ(e.log.ErrNames(), Lines{"ProcessRecMsg"});

  // A unit's first frame: its FIRST MSG line fails, its record is still stored.
  tcp->sent.clear();
  e.log.Clear();
  e.processor.ProcessRecMsg(tcp, Plain(UnitFrame(35, 6, 3)));
  EXPECT_EQ(tcp->sent.size(), 1u);
  EXPECT_EQ(e.Unit(3).Active, 1);
  EXPECT_EQ(e.DbRecord(3)[0], 1);
  EXPECT_EQ(e.log.ErrNames(), (Lines{"ProcessRecMsg", "ProcessRecMsg"}));  // FIRST MSG, Changed IP
}

// Any bytes of any length, and well-formed frames of every type with random
// contents: at most one answer each, never a read outside the frame (the
// sanitizer build watches that), never an exception.
TEST_F(FrameProcessorTest, ArbitraryBytesAreAnsweredAtMostOnce) {
  auto& e = Engine(HostKind::Desktop);
  std::mt19937 random(20240307);
  const auto randomBytes = [&](size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
      c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
  };
  const int types[] = {1, 6, 10, 32, 34, 35, 37, 45};
  const size_t sizes[] = {15, 28, 9, 24, 27, 9, 10, 42};
  for (int round = 0; round < 3000; ++round) {
    std::string frame;
    if (round % 2 == 0) {
      frame = randomBytes(random() % 80);
    } else {
      const size_t pick = random() % 8;
      frame = randomBytes(sizes[pick] - 1);
      frame[0] = static_cast<char>(types[pick]);
      frame[1] = static_cast<char>(random() % 3);
      frame = AddCrc8(frame);
    }
    tcp->sent.clear();
    ASSERT_NO_THROW(e.processor.ProcessRecMsg(tcp, frame));
    EXPECT_LE(tcp->sent.size(), 1u) << StrToHexText(frame);
  }
  for (const std::string& name : e.log.ErrNames()) {
    EXPECT_EQ(name, "ProcessRecMsg");  // only unstorable IMEIs
  }
}

}  // namespace
}  // namespace talvero
