#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "frame_engine.hpp"
#include "unit_frames.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::EventPayload;
using testing::kImei;
using testing::MakeUdpBinding;
using testing::Ping;
using testing::Plain;
using testing::UnitFrame;
using Kind = testing::RecordingLogger::Kind;
using Lines = std::vector<std::string>;
using Record = std::vector<uint8_t>;

uint64_t Field(const Record& record, size_t offset, size_t size) {
  uint64_t value = 0;
  for (size_t i = size; i-- > 0;) {
    value = value << 8 | record[offset + i];
  }
  return value;
}

uint64_t DbSeconds(TDateTime moment) {
  return static_cast<uint64_t>((moment.ms - kYear2000.ms) / 1000);
}

std::string PingImeiFw(std::string_view imei, std::initializer_list<int> fw) {
  return Plain(UnitFrame(34, 5, 5, std::string(imei) + Bytes(fw)));
}

class RecordUpdateTest : public testing::FrameEngineTest {
 protected:
  // The Imp_msg lines of the next frame alone.
  Lines ImpLinesOf(const Route& route, const std::string& frame) {
    engine->log.Clear();
    engine->processor.ProcessRecMsg(route, frame);
    return engine->log.Texts(Kind::Imp);
  }
};

TEST_F(RecordUpdateTest, TheFirstFrameOfAUnitFillsItsRecordAndTheFile) {
  auto& e = Engine();
  EXPECT_EQ(ImpLinesOf(tcp, Ping(5)),
            (Lines{"0005 FIRST MSG", "[Unit 0005] [Account ] Changed IP: [] -> [10.0.0.5]"}));

  const TUnitStruct& u = e.Unit(5);
  EXPECT_EQ(u.Active, 1);
  EXPECT_EQ(u.TrProto, TransportKind::Tcp);
  EXPECT_EQ(u.IP, "10.0.0.5");
  EXPECT_EQ(u.Port, 4001);
  EXPECT_EQ(u.FirstMsgTime, e.time.Now());
  EXPECT_EQ(u.LastMsgTime, e.time.Now());
  // Only the desktop's grid filters by it.
  EXPECT_TRUE(u.FilterText.empty()) << u.FilterText;

  const Record record = e.DbRecord(5);
  EXPECT_EQ(record[0], 1);
  EXPECT_EQ(record[3], 1);
  EXPECT_EQ(Field(record, 13, 4), 0x0A000005u);
  EXPECT_EQ(Field(record, 17, 2), 4001u);
  EXPECT_EQ(Field(record, 19, 4), DbSeconds(e.time.Now()));
  EXPECT_EQ(Field(record, 23, 4), DbSeconds(e.time.Now()));
  EXPECT_EQ(Field(record, 5, 8), 0u);
  EXPECT_EQ(e.DbRecord(4), Record(40, 0));

  auto& desktop = Engine(HostKind::Desktop);
  desktop.processor.ProcessRecMsg(tcp, Ping(5));
  EXPECT_NE(desktop.Unit(5).FilterText.find("10.0.0.5:4001"), std::string::npos)
      << desktop.Unit(5).FilterText;
}

TEST_F(RecordUpdateTest, AddressTransportAndLastTimeFollowTheUnitsFrames) {
  auto& e = Engine();
  auto udp = MakeUdpBinding("10.0.0.5", 4001);
  ImpLinesOf(udp, Ping(5));
  EXPECT_EQ(e.DbRecord(5)[3], 2);

  e.time.Advance(90s);
  EXPECT_EQ(ImpLinesOf(tcp, Ping(5)), Lines{});  // UDP to TCP: no line
  EXPECT_EQ(e.Unit(5).TrProto, TransportKind::Tcp);
  EXPECT_EQ(e.DbRecord(5)[3], 1);
  EXPECT_EQ(Field(e.DbRecord(5), 23, 4), DbSeconds(e.time.Now()));
  EXPECT_EQ(Field(e.DbRecord(5), 19, 4), DbSeconds(e.time.Now()) - 90);

  tcp->port = 4002;
  EXPECT_EQ(ImpLinesOf(tcp, Ping(5)), Lines{});  // a new port alone is not logged
  EXPECT_EQ(e.Unit(5).Port, 4002);
  EXPECT_EQ(Field(e.DbRecord(5), 17, 2), 4002u);

  tcp->address = "192.168.1.20";
  EXPECT_EQ(ImpLinesOf(tcp, Ping(5)),
            Lines{"[Unit 0005] [Account ] Changed IP: [10.0.0.5] -> [192.168.1.20]"});
  EXPECT_EQ(Field(e.DbRecord(5), 13, 4), 0xC0A80114u);
}

TEST_F(RecordUpdateTest, AnAccountChangeIsLoggedOnceAndWritten) {
  auto& e = Engine();
  ImpLinesOf(tcp, Ping(5));
  const std::string event =
      Plain(UnitFrame(6, 5, 5, EventPayload({24, 3, 7, 8, 0, 0}, "1234", "1130", "01", "005")));
  EXPECT_EQ(ImpLinesOf(tcp, event), Lines{"[Unit 0005] Changed Account: [] -> [1234]"});
  const Record record = e.DbRecord(5);
  EXPECT_EQ(std::string(record.begin() + 30, record.begin() + 34), "1234");
  EXPECT_EQ(ImpLinesOf(tcp, event), Lines{});

  const std::string moved =
      Plain(UnitFrame(6, 6, 5, EventPayload({24, 3, 7, 8, 0, 0}, "9876", "1130", "01", "005")));
  EXPECT_EQ(ImpLinesOf(tcp, moved), Lines{"[Unit 0005] Changed Account: [1234] -> [9876]"});
}

TEST_F(RecordUpdateTest, ImeiAndFirmwareChangesAreLoggedAndWritten) {
  auto& e = Engine();
  EXPECT_EQ(ImpLinesOf(tcp, PingImeiFw(kImei, {2, 1, 17})),
            (Lines{"0005 FIRST MSG", "[Unit 0005] [Account ] Changed IP: [] -> [10.0.0.5]",
                   "[Unit 0005] [Account ] Changed Imei: [] -> [351234567890123]",
                   "[Unit 0005] [Account ] Changed fwVer: [] -> [2.1.17]"}));
  EXPECT_EQ(Field(e.DbRecord(5), 5, 8), 351234567890123u);
  EXPECT_EQ(Field(e.DbRecord(5), 27, 3), 0x110102u);

  EXPECT_EQ(ImpLinesOf(tcp, PingImeiFw(kImei, {2, 1, 17})), Lines{});
  EXPECT_EQ(ImpLinesOf(tcp, PingImeiFw("351234567890999", {2, 2, 0})),
            (Lines{"[Unit 0005] [Account ] Changed Imei: [351234567890123] -> [351234567890999]",
                   "[Unit 0005] [Account ] Changed fwVer: [2.1.17] -> [2.2.0]"}));
  EXPECT_EQ(e.Unit(5).FwVer, "2.2.0");
}

TEST_F(RecordUpdateTest, AnImeiThatIsNotAllDigitsIsToldInImpMsgAndTheUpdateGoesOn) {
  auto& e = Engine();
  ImpLinesOf(tcp, PingImeiFw(kImei, {2, 1, 17}));
  e.time.Advance(60s);
  tcp->sent.clear();

  EXPECT_EQ(ImpLinesOf(tcp, PingImeiFw("35123456789012X", {3, 0, 0})),
            (Lines{"[Unit 0005] [Account ] INVALID Imei: [35123456789012X]",
                   "[Unit 0005] [Account ] Changed fwVer: [2.1.17] -> [3.0.0]"}));
  EXPECT_TRUE(e.log.ErrNames().empty());
  // The record keeps its IMEI, in memory and on disk alike.
  EXPECT_EQ(e.Unit(5).Imei, kImei);
  EXPECT_EQ(Field(e.DbRecord(5), 5, 8), 351234567890123u);
  // The steps after the IMEI ran.
  EXPECT_EQ(e.Unit(5).LastMsgTime, e.time.Now());
  EXPECT_EQ(Field(e.DbRecord(5), 23, 4), DbSeconds(e.time.Now()));
  EXPECT_EQ(e.Unit(5).FwVer, "3.0.0");
  EXPECT_EQ(tcp->sent.size(), 1u);
}

TEST_F(RecordUpdateTest, OnlyADigitOfGsmLevelIsStored) {
  auto& e = Engine();
  ImpLinesOf(tcp, Plain(UnitFrame(37, 5, 5, Bytes({5}))));
  EXPECT_EQ(e.Unit(5).GsmLevel, '5');
  EXPECT_EQ(e.DbRecord(5)[34], '5');
  ImpLinesOf(tcp, Plain(UnitFrame(37, 6, 5, Bytes({12}))));
  EXPECT_EQ(e.Unit(5).GsmLevel, '5');
  EXPECT_EQ(e.DbRecord(5)[34], '5');
  ImpLinesOf(tcp, Plain(UnitFrame(37, 7, 5, Bytes({0}))));
  EXPECT_EQ(e.DbRecord(5)[34], '0');
}

TEST_F(RecordUpdateTest, AFrameWithinElevenSecondsOfASendingConfirmsTheBufferedCommand) {
  struct Case {
    std::chrono::seconds sinceSending;
    bool confirmed;
  };
  for (const Case c : {Case{0s, true}, Case{10s, true}, Case{11s, false}, Case{40s, false}}) {
    SCOPED_TRACE(c.sinceSending.count());
    auto& e = Engine();
    e.Unit(5).CmdBuffer = {"Get Ping=abc", "Get GSM Level=def"};
    e.Unit(5).CmdSentTime = e.time.Now();
    e.time.Advance(c.sinceSending);
    ImpLinesOf(tcp, Ping(5));
    EXPECT_EQ(e.log.Has(Kind::All, "Delete Buf-Cmd: <Get Ping>"), c.confirmed);
    EXPECT_EQ(e.Unit(5).CmdBuffer.size(), c.confirmed ? 1u : 2u);
    EXPECT_EQ(e.time.PendingTimers(), 1u);  // the watchdog waits to send the head
  }
}

TEST_F(RecordUpdateTest, TheNextBufferedCommandIsOnlyConfirmedAfterItWasSentItself) {
  auto& e = Engine();
  e.Unit(5).CmdBuffer = {"Get Ping=abc", "Get GSM Level=def"};
  e.Unit(5).CmdSentTime = e.time.Now();
  e.time.Advance(2s);
  ImpLinesOf(tcp, Ping(5, 5));
  e.time.Advance(500ms);
  ImpLinesOf(tcp, Ping(5, 6));
  EXPECT_EQ(e.Unit(5).CmdBuffer, Lines{"Get GSM Level=def"});
  EXPECT_FALSE(e.log.Has(Kind::All, "Delete Buf-Cmd"));
}

TEST_F(RecordUpdateTest, AnEmptyBufferKicksNoWatchdog) {
  auto& e = Engine();
  e.Unit(5).CmdBuffer = {"Get Ping=abc"};
  e.Unit(5).CmdSentTime = e.time.Now();
  ImpLinesOf(tcp, Ping(5));
  EXPECT_TRUE(e.Unit(5).CmdBuffer.empty());
  EXPECT_EQ(e.time.PendingTimers(), 0u);
}

TEST_F(RecordUpdateTest, OnlyTheDesktopRecordsTheReceptionAndHearsOfChanges) {
  auto& service = Engine(HostKind::Service);
  ImpLinesOf(tcp, Ping(5));
  EXPECT_TRUE(service.Unit(5).LastRecvTime.IsZero());
  EXPECT_TRUE(service.observer.changedUnits.empty());

  auto& desktop = Engine(HostKind::Desktop);
  ImpLinesOf(tcp, Ping(5));
  EXPECT_EQ(desktop.Unit(5).LastRecvTime, desktop.time.Now());
  EXPECT_EQ(desktop.observer.changedUnits, (std::vector<uint16_t>{5, 5}));  // row, then repaint

  desktop.time.Advance(3s);
  ImpLinesOf(tcp, Ping(5));  // only the last-message time moves: no repaint
  EXPECT_EQ(desktop.Unit(5).LastRecvTime, desktop.time.Now());
  EXPECT_EQ(desktop.observer.changedUnits.size(), 2u);
}

}  // namespace
}  // namespace talvero
