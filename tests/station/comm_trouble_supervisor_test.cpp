#include "station/comm_trouble_supervisor.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "station/comm_trouble_limits.hpp"
#include "support/fake_serial_port.hpp"
#include "support/fake_unit_field_writer.hpp"
#include "support/recording_host_observer.hpp"
#include "support/recording_logger.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using testing::At;
using testing::FakeSerialPort;
using testing::FakeUnitFieldWriter;
using testing::RecordingHostObserver;
using testing::RecordingLogger;
using testing::VirtualTime;
using Kind = RecordingLogger::Kind;
using Lines = std::vector<std::string>;

constexpr int64_t kMinute = 60'000;

class SupervisionTest : public ::testing::Test {
 protected:
  SupervisionTest() {
    settings.CommTrStartUpDelay = 0;
    InitCommTrLimits(tables.CommTrLimits, settings);
  }

  CommTroubleSupervisor& Supervisor(HostKind host = HostKind::Service) {
    if (!supervisor) {
      link.reset();
      link = std::make_unique<StationLink>(port, time, time, log, host, observer, settings);
      supervisor = std::make_unique<CommTroubleSupervisor>(tables, writer, *link, time, time, log,
                                                           host, observer, settings);
      supervisor->SetStartTime(time.Now());
    }
    return *supervisor;
  }

  TUnitStruct& Unit(uint16_t unit, std::string_view account, int64_t silentMs) {
    TUnitStruct& u = tables.UnitTable[unit];
    u.Active = 1;
    u.Account = account;
    u.LastMsgTime = AddMilliseconds(time.Now(), -silentMs);
    return u;
  }

  Lines Queue() const { return link ? Lines(link->Queue().begin(), link->Queue().end()) : Lines{}; }

  VirtualTime time{At(2024, 3, 7, 12, 0, 0)};
  FakeSerialPort port;  // never opened: lines stay in the queue
  RecordingLogger log;
  RecordingHostObserver observer;
  FakeUnitFieldWriter writer;
  Settings settings;
  UnitTables tables;
  std::unique_ptr<StationLink> link;
  std::unique_ptr<CommTroubleSupervisor> supervisor;
};

TEST_F(SupervisionTest, ALevelIsRaisedOnceItsThresholdIsReached) {
  struct Case {
    int64_t silentMs;
    Lines queue;
  };
  const Case cases[] = {
      {14 * kMinute + 59'999, {}},
      {15 * kMinute, {"5077 181234E35000001"}},
      {59 * kMinute + 59'999, {"5077 181234E35000001"}},
  };
  for (const Case& c : cases) {
    supervisor.reset();
    tables.UnitTable[0x12] = TUnitStruct{};
    log.Clear();
    writer.writes.clear();
    Unit(0x12, "1234", c.silentMs);
    Supervisor().CheckCommSt();
    EXPECT_EQ(Queue(), c.queue) << c.silentMs;
    if (c.queue.empty()) {
      EXPECT_EQ(tables.UnitTable[0x12].CommTrFlags, 0) << c.silentMs;
      EXPECT_TRUE(log.entries.empty()) << c.silentMs;
      EXPECT_TRUE(writer.writes.empty()) << c.silentMs;
    } else {
      EXPECT_EQ(tables.UnitTable[0x12].CommTrFlags, kCommTrLevel1) << c.silentMs;
      EXPECT_EQ(log.Texts(Kind::All),
                Lines{std::string(1, '\0') +
                      "[Unit 0012] [Account 1234] - CommTrouble1 (15 min. No Ping)"});
      EXPECT_EQ(writer.writes,
                (std::vector<FakeUnitFieldWriter::Write>{{0x12, UnitField::CommTrFlags}}));
    }
  }
}

TEST_F(SupervisionTest, ThreeLevelsInOneTickThenNothingMore) {
  Unit(0xBEEF, "00AF", 300 * kMinute);
  Supervisor().CheckCommSt();
  const Lines expected{"5077 1800AFE35000001", "5077 1800AFE35000002", "5077 1800AFE35000003"};
  EXPECT_EQ(Queue(), expected);
  EXPECT_EQ(tables.UnitTable[0xBEEF].CommTrFlags, 7);
  EXPECT_EQ(log.Texts(Kind::All).back(),
            std::string(1, '\0') + "[Unit BEEF] [Account 00AF] - CommTrouble3 (240 min. No Ping)");

  time.Advance(1000min);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), expected);
  EXPECT_EQ(writer.writes.size(), 3u);
}

TEST_F(SupervisionTest, LevelsAreIndependentAndZeroDisablesOne) {
  tables.CommTrLimits[5] = {60, 0, 30};
  Unit(5, "1234", 45 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), Lines{"5077 181234E35000003"});
  EXPECT_EQ(tables.UnitTable[5].CommTrFlags, kCommTrLevel3);
  time.Advance(10000min);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), (Lines{"5077 181234E35000003", "5077 181234E35000001"}));
}

TEST_F(SupervisionTest, UnitsNotInUseAndUnitsFullyRaisedAreSkipped) {
  Unit(1, "1111", 300 * kMinute).Active = 0;
  Unit(2, "2222", 300 * kMinute).CommTrFlags = 7;
  Supervisor().CheckCommSt();
  EXPECT_TRUE(Queue().empty());
  EXPECT_TRUE(writer.writes.empty());
}

TEST_F(SupervisionTest, UnitsAreScannedInAscendingOrder) {
  settings.ReceiverNumber = 1;
  settings.LineNumber = 3;
  tables.CommTrLimits[0xFFFF] = {15, 0, 0};
  tables.CommTrLimits[0] = {15, 0, 0};
  Unit(0xFFFF, "FFFE", 20 * kMinute);
  Unit(0, "0001", 20 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), (Lines{"5013 180001E35000001", "5013 18FFFEE35000001"}));
}

TEST_F(SupervisionTest, ALastFrameInTheFutureCountsAsNoSilence) {
  Unit(3, "1234", -300 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_TRUE(Queue().empty());
  EXPECT_EQ(MinutesOfSilence(time.Now(), AddMilliseconds(time.Now(), 90'000)), 1);
  EXPECT_EQ(MinutesOfSilence(AddMilliseconds(time.Now(), 90'000), time.Now()), 0);
}

TEST_F(SupervisionTest, StartUpDelay) {
  struct Case {
    int delayMinutes;
    int startedBeforeEnableSec;  // StartTime this long before TimerCommTr is enabled
    int firstCheckSec;           // seconds from StartTime to the first tick that checks
  };
  const Case cases[] = {
      {7, 50, 410},  // the tick at 410 s checks
      {7, 49, 469},  // the tick at 409 s does not
      {0, 0, 60},    // no delay: the first tick already checks
      {1, 0, 60},    // 50 s of delay are over at the first tick
      {2, 0, 120},
  };
  for (const Case& c : cases) {
    supervisor.reset();
    settings.CommTrStartUpDelay = c.delayMinutes;
    tables.UnitTable[9] = TUnitStruct{};
    Unit(9, "1234", 300 * kMinute);
    Supervisor();
    const TDateTime start = AddMilliseconds(time.Now(), -1000LL * c.startedBeforeEnableSec);
    supervisor->SetStartTime(start);
    supervisor->EnableTimer();
    int firstCheck = -1;
    for (int tick = 0; tick < 20 && firstCheck < 0; ++tick) {
      time.Advance(60s);
      if (!link->Queue().empty()) {
        firstCheck = static_cast<int>((time.Now().ms - start.ms) / 1000);
      }
    }
    EXPECT_EQ(firstCheck, c.firstCheckSec) << c.delayMinutes << " " << c.startedBeforeEnableSec;
  }
}

TEST_F(SupervisionTest, AnAccountThatIsNoHexNumberIsReportedAsFFFF) {
  Unit(0x20, "12G4", 20 * kMinute);
  Unit(0x21, "12ab", 20 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), (Lines{"5077 18FFFFE35000001", "5077 1812abE35000001"}));
  EXPECT_TRUE(log.Has(Kind::All, "[Unit 0020] [Account FFFF] - CommTrouble1 (15 min. No Ping)"));

  Supervisor().Send_CommRestore_ifNeed(0x20);
  EXPECT_EQ(Queue().back(), "5077 1812G4R35000000");
  EXPECT_EQ(log.Texts(Kind::All).back(), "[Unit 0020] [Account 12G4] - CommRestore");
}

TEST_F(SupervisionTest, AnEmptyAccountIsRestoredOnlyOnceAFrameGivesOne) {
  TUnitStruct& u = Unit(0x30, "", 20 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), Lines{"5077 18FFFFE35000001"});

  for (const std::string_view account : {"", "123"}) {
    u.Account = account;
    Supervisor().Send_CommRestore_ifNeed(0x30);
    EXPECT_EQ(u.CommTrFlags, kCommTrLevel1) << account;
    EXPECT_EQ(Queue().size(), 1u) << account;
  }
  u.Account = "5678";
  Supervisor().Send_CommRestore_ifNeed(0x30);
  EXPECT_EQ(Queue(), (Lines{"5077 18FFFFE35000001", "5077 185678R35000000"}));
  EXPECT_EQ(u.CommTrFlags, 0);
}

TEST_F(SupervisionTest, OneRestoreClearsSeveralLevels) {
  TUnitStruct& u = Unit(0x12, "1234", 0);
  u.CommTrFlags = kCommTrLevel1 | kCommTrLevel2;
  Supervisor().Send_CommRestore_ifNeed(0x12);
  EXPECT_EQ(Queue(), Lines{"5077 181234R35000000"});
  EXPECT_EQ(u.CommTrFlags, 0);
  EXPECT_EQ(log.Texts(Kind::All), Lines{"[Unit 0012] [Account 1234] - CommRestore"});
  EXPECT_EQ(writer.writes,
            (std::vector<FakeUnitFieldWriter::Write>{{0x12, UnitField::CommTrFlags}}));

  Supervisor().Send_CommRestore_ifNeed(0x12);  // nothing raised: nothing to restore
  EXPECT_EQ(Queue().size(), 1u);
  EXPECT_EQ(writer.writes.size(), 1u);
}

TEST_F(SupervisionTest, ARaisedLevelStaysUntilTheRestoreAndCanBeRaisedAgain) {
  TUnitStruct& u = Unit(0x40, "1234", 70 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_EQ(u.CommTrFlags, kCommTrLevel1 | kCommTrLevel2);
  ChangeCommTrDefault(settings, tables.CommTrLimits, 2, 0);
  Supervisor().CheckCommSt();
  EXPECT_EQ(u.CommTrFlags, kCommTrLevel1 | kCommTrLevel2);

  Supervisor().Send_CommRestore_ifNeed(0x40);
  u.LastMsgTime = time.Now();
  time.Advance(15min);
  Supervisor().CheckCommSt();
  EXPECT_EQ(u.CommTrFlags, kCommTrLevel1);
  EXPECT_EQ(Queue(), (Lines{"5077 181234E35000001", "5077 181234E35000002", "5077 181234R35000000",
                            "5077 181234E35000001"}));
}

TEST_F(SupervisionTest, AFailedWriteEndsTheScanAndTheNextTickGoesOn) {
  Unit(1, "1111", 20 * kMinute);
  Unit(2, "2222", 20 * kMinute);
  writer.failUnit = 1;
  Supervisor().CheckCommSt();
  EXPECT_EQ(log.ErrNames(), Lines{"CheckCommSt"});
  EXPECT_EQ(Queue(), Lines{"5077 181111E35000001"});

  writer.failUnit.reset();
  Supervisor().CheckCommSt();
  EXPECT_EQ(Queue(), (Lines{"5077 181111E35000001", "5077 182222E35000001"}));
}

TEST_F(SupervisionTest, AFailedRestoreIsReportedByName) {
  Unit(1, "1111", 0).CommTrFlags = kCommTrLevel1;
  writer.failUnit = 1;
  Supervisor().Send_CommRestore_ifNeed(1);
  EXPECT_EQ(log.ErrNames(), Lines{"Send_CommRestore_ifNeed"});
}

TEST_F(SupervisionTest, OnlyTheDesktopHostHearsOfChangedUnits) {
  for (const HostKind host : {HostKind::Service, HostKind::Desktop}) {
    supervisor.reset();
    observer.changedUnits.clear();
    tables.UnitTable[7] = TUnitStruct{};
    Unit(7, "1234", 20 * kMinute);
    Supervisor(host).CheckCommSt();
    Supervisor().Send_CommRestore_ifNeed(7);
    const std::vector<uint16_t> expected =
        host == HostKind::Desktop ? std::vector<uint16_t>{7, 7} : std::vector<uint16_t>{};
    EXPECT_EQ(observer.changedUnits, expected);
  }
}

TEST_F(SupervisionTest, TroubleLinesWaitForTheNextSend) {
  Supervisor();
  link->DoActivateSerialPort();
  Unit(1, "1111", 20 * kMinute);
  Supervisor().CheckCommSt();
  EXPECT_TRUE(port.writes.empty());
  link->SendBufHead();
  EXPECT_EQ(port.writes, Lines{"5077 181111E35000001\x14"});
}

}  // namespace
}  // namespace talvero
