#include "station/station_link.hpp"

#include "base/runtime_metrics.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_serial_port.hpp"
#include "support/recording_host_observer.hpp"
#include "support/recording_logger.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using namespace std::chrono_literals;
using testing::At;
using testing::FakeSerialPort;
using testing::RecordingHostObserver;
using testing::RecordingLogger;
using testing::VirtualTime;
using Kind = RecordingLogger::Kind;
using Lines = std::vector<std::string>;

const StationLine kA = "5077 181111E13001001";
const StationLine kB = "5077 182222E13001002";
const StationLine kC = "5077 183333E13001003";

std::string Wire(std::string_view line) {
  return std::string(line) + '\x14';
}

const std::string kHeartbeatWire = Wire(kHeartbeatLine);

class StationLinkTest : public ::testing::Test {
 protected:
  StationLinkTest() { settings.PingInvToMonitSoft = 0; }

  StationLink& Link(HostKind host = HostKind::Service) {
    if (!link) {
      link = std::make_unique<StationLink>(port, time, time, log, host, observer, settings);
    }
    return *link;
  }

  // Start-up as the hosts drive it: settings applied, then the timers enabled.
  void StartUp(HostKind host = HostKind::Service) {
    Link(host).DoActivateSerialPort();
    Link().ApplyPingInterval();
    Link().EnableTimers();
  }

  Lines Queue() const { return Lines(link->Queue().begin(), link->Queue().end()); }

  VirtualTime time{At(2024, 3, 7, 9, 0, 0)};
  FakeSerialPort port;
  RecordingLogger log;
  RecordingHostObserver observer;
  Settings settings;
  std::unique_ptr<StationLink> link;
};

// The journal calls as the link makes them; refuses lines while `refuse` holds.
struct RecordingJournal final : LineJournal {
  bool Added(std::string_view line) override {
    calls.push_back("+" + std::string(line));
    return !refuse;
  }
  void Removed() override { calls.push_back("-"); }
  void Cleared() override { calls.push_back("clear"); }
  Lines calls;
  bool refuse = false;
};

TEST_F(StationLinkTest, AddWritesTheHeadWithDc4AndKeepsIt) {
  StartUp();
  Link().AddToSendBuf(kA);
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
  EXPECT_EQ(Queue(), Lines{kA});
  EXPECT_EQ(link->NextSendTime(), AddMilliseconds(time.Now(), 3000));
}

TEST_F(StationLinkTest, AChunkWhileTheQueueIsEmpty) {
  struct Case {
    std::string chunk;
    Lines writes;
  };
  const Case cases[] = {
      {"\x06", {}},
      {"garbage", {}},
      {"1011", {"\x06"}},
      {"1011           @    \x14", {"\x06"}},
  };
  StartUp();
  for (const Case& c : cases) {
    port.writes.clear();
    port.Deliver(c.chunk);
    EXPECT_EQ(port.writes, c.writes) << c.chunk;
    EXPECT_TRUE(link->Queue().empty());
  }
}

TEST_F(StationLinkTest, HeartbeatOfTheMonitoringSoftwareWithTwoWaiting) {
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  port.writes.clear();
  time.Advance(1s);  // within the write gap: an answer still sends the next line at once
  port.Deliver("1011XYZ");
  EXPECT_EQ(port.writes, (Lines{Wire(kB), "\x06"}));
  EXPECT_EQ(Queue(), Lines{kB});
}

TEST_F(StationLinkTest, AnyChunkRemovesTheHeadButOnlyOneBeginningWith1011IsAnswered) {
  struct Case {
    std::string chunk;
    bool answered;
  };
  const Case cases[] = {
      {"", false},      {"\x06", false},         {"101", false},
      {"x1011", false}, {"\x06\x06\x06", false},  // several answers in one chunk remove one line
      {"1011", true},   {"10119", true},
  };
  for (const Case& c : cases) {
    link.reset();
    port.writes.clear();
    StartUp();
    Link().AddToSendBuf(kA);
    Link().AppendToSendBuf(kB);
    Link().AppendToSendBuf(kC);
    port.writes.clear();
    port.Deliver(c.chunk);
    Lines expected{Wire(kB)};
    if (c.answered) {
      expected.push_back("\x06");
    }
    EXPECT_EQ(port.writes, expected) << c.chunk;
    EXPECT_EQ(Queue(), (Lines{kB, kC})) << c.chunk;
  }
}

TEST_F(StationLinkTest, ANakWritesTheHeadAgainAtOnceAndTheThirdDropsIt) {
  RecordingJournal journal;
  Link().SetJournal(&journal);
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  time.Advance(1s);  // within the write gap: a NAK still writes the head again
  port.Deliver("\x15");
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
  time.Advance(4999ms);  // the resend period counts from the write after the NAK
  EXPECT_EQ(port.writes.size(), 2u);
  port.Deliver("\x15");
  EXPECT_EQ(Queue(), (Lines{kA, kB}));
  EXPECT_TRUE(log.Texts(Kind::Imp).empty());

  port.Deliver("\x15");
  EXPECT_EQ(Queue(), Lines{kB});
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA), Wire(kA), Wire(kB)}));
  EXPECT_EQ(log.Texts(Kind::Imp),
            Lines{"!! LINE REFUSED 3 TIMES BY THE MONITORING SOFTWARE, DROPPED: " + kA});
  EXPECT_EQ(journal.calls, (Lines{"+" + kA, "+" + kB, "-"}));
  // Service host: every write of a line is logged, also those after a NAK.
  EXPECT_EQ(log.Texts(Kind::All),
            (Lines{"Serial Port COM1 opened", ">> " + kA, ">> " + kA, ">> " + kA, ">> " + kB}));
}

TEST_F(StationLinkTest, NaksAreCountedForTheLineAtTheHeadOnly) {
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  port.Deliver("\x15");
  port.Deliver("\x15");
  port.Deliver("\x06");  // kA answered after two NAKs
  port.Deliver("\x15");
  port.Deliver("\x15");
  EXPECT_EQ(Queue(), Lines{kB});
  port.Deliver("\x15");
  EXPECT_TRUE(link->Queue().empty());
  EXPECT_EQ(log.Texts(Kind::Imp),
            Lines{"!! LINE REFUSED 3 TIMES BY THE MONITORING SOFTWARE, DROPPED: " + kB});
}

TEST_F(StationLinkTest, OnlyALoneNakIsARefusal) {
  struct Case {
    std::string chunk;
    Lines queue;
  };
  const Case cases[] = {
      {"\x15", {kA, kB}},
      {"\x15\x15", {kB}},
      {"\x15x", {kB}},
      {"x\x15", {kB}},
  };
  for (const Case& c : cases) {
    link.reset();
    StartUp();
    Link().AddToSendBuf(kA);
    Link().AppendToSendBuf(kB);
    port.Deliver(c.chunk);
    EXPECT_EQ(Queue(), c.queue) << c.chunk;
  }
  link.reset();
  port.writes.clear();
  StartUp();
  port.Deliver("\x15");  // nothing waits: nothing to write again
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(StationLinkTest, AnsweredLinesGoOutInOrder) {
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AddToSendBuf(kB);
  Link().AppendToSendBuf(kC);
  port.Deliver("\x06");
  port.Deliver("\x06");
  port.Deliver("\x06");
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kB), Wire(kC)}));
  EXPECT_TRUE(link->Queue().empty());
  EXPECT_EQ(link->NextSendTime(), TDateTime{});
}

TEST_F(StationLinkTest, ResendsTheHeadEveryFiveSecondsWithoutEnd) {
  StartUp();
  Link().AddToSendBuf(kA);
  time.Advance(4999ms);
  EXPECT_EQ(port.writes.size(), 1u);
  time.Advance(1ms);
  EXPECT_EQ(port.writes.size(), 2u);
  time.Advance(5min);
  EXPECT_EQ(port.writes.size(), 62u);
  for (const std::string& w : port.writes) {
    EXPECT_EQ(w, Wire(kA));
  }
}

TEST_F(StationLinkTest, AnEventOneSecondAfterAWriteWaits) {
  StartUp();
  Link().AddToSendBuf(kA);
  time.Advance(1s);
  Link().AddToSendBuf(kB);
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
  time.Advance(4s);  // the TimerSBSend tick, 5 s after the write
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
}

TEST_F(StationLinkTest, AnEventFourSecondsAfterAWriteResendsTheHeadAndRestartsThePeriod) {
  StartUp();
  Link().AddToSendBuf(kA);
  time.Advance(4s);
  Link().AddToSendBuf(kB);
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
  time.Advance(4999ms);  // no tick at 5 s after the first write
  EXPECT_EQ(port.writes.size(), 2u);
  time.Advance(1ms);
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA), Wire(kA)}));
  EXPECT_EQ(Queue(), (Lines{kA, kB}));
}

TEST_F(StationLinkTest, AppendOnlyWaitsForTheNextSend) {
  StartUp();
  Link().AppendToSendBuf(kA);
  EXPECT_TRUE(port.writes.empty());
  time.Advance(5s);
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
}

TEST_F(StationLinkTest, AWriteBeforeStartUpCompletedDoesNotSwitchTheResendTimerOn) {
  Link().DoActivateSerialPort();
  Link().AddToSendBuf(kA);
  time.Advance(1min);
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
  port.Deliver("\x06");
  EXPECT_TRUE(link->Queue().empty());
}

TEST_F(StationLinkTest, AClockSetBackDoesNotHoldTheHead) {
  StartUp();
  Link().AddToSendBuf(kA);
  time.SetNow(AddMilliseconds(time.Now(), -3'600'000));
  Link().AddToSendBuf(kB);
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
}

TEST_F(StationLinkTest, HostsReportWritesDifferently) {
  for (const HostKind host : {HostKind::Service, HostKind::Desktop}) {
    link.reset();
    log.Clear();
    observer.counts.clear();
    settings.PingInvToMonitSoft = 30;
    StartUp(host);
    Link().PingMonitSoft();  // a heartbeat is neither counted nor logged
    port.Deliver("\x06");
    Link().AddToSendBuf(kA);
    time.Advance(10s);  // written three times before the answer
    port.Deliver("\x06");

    const Lines sent{">> " + kA, ">> " + kA, ">> " + kA};
    if (host == HostKind::Desktop) {
      EXPECT_EQ(observer.Count(Counter::SendToMs), 3);
      EXPECT_EQ(log.Texts(Kind::All), Lines{"Serial Port COM1 opened"});
    } else {
      EXPECT_EQ(observer.Count(Counter::SendToMs), 0);
      const Lines all = log.Texts(Kind::All);
      EXPECT_EQ(Lines(all.begin() + 1, all.end()), sent);
    }
  }
}

TEST_F(StationLinkTest, HeartbeatIsAddedWhileFewerThanThreeWait) {
  settings.PingInvToMonitSoft = 30;
  for (size_t waiting = 0; waiting <= 4; ++waiting) {
    link.reset();
    Link();
    for (size_t i = 0; i < waiting; ++i) {
      Link().AppendToSendBuf(kA);
    }
    Link().PingMonitSoft();
    const size_t expected = waiting < 3 ? waiting + 1 : waiting;
    EXPECT_EQ(link->Queue().size(), expected) << waiting;
    EXPECT_EQ(IsHeartbeat(link->Queue().back()), waiting < 3) << waiting;
  }
}

TEST_F(StationLinkTest, HeartbeatGoesOutAtOnceAndIsRemovedByItsAnswer) {
  settings.PingInvToMonitSoft = 30;
  StartUp();
  Link().PingMonitSoft();
  EXPECT_EQ(port.writes, Lines{kHeartbeatWire});
  EXPECT_EQ(kHeartbeatWire.size(), 21u);
  port.Deliver("\x06");
  EXPECT_TRUE(link->Queue().empty());
}

TEST_F(StationLinkTest, TimerPingDRQueuesAHeartbeatEveryPeriod) {
  settings.PingInvToMonitSoft = 10;
  StartUp();
  time.Advance(10s);
  EXPECT_EQ(port.writes, Lines{kHeartbeatWire});
  port.Deliver("\x06");
  time.Advance(10s);
  EXPECT_EQ(port.writes, (Lines{kHeartbeatWire, kHeartbeatWire}));
  EXPECT_EQ(Queue(), Lines{std::string(kHeartbeatLine)});
}

TEST_F(StationLinkTest, PingIntervalZeroNeverQueuesAHeartbeat) {
  settings.PingInvToMonitSoft = 0;
  StartUp();  // TimerPingDR is enabled with its old period and ticks without effect
  Link().PingMonitSoft();
  time.Advance(10min);
  EXPECT_TRUE(link->Queue().empty());
  EXPECT_TRUE(port.writes.empty());
}

TEST_F(StationLinkTest, ApplyingZeroStopsTheHeartbeat) {
  settings.PingInvToMonitSoft = 10;
  StartUp();
  settings.PingInvToMonitSoft = 0;
  Link().ApplyPingInterval();
  time.Advance(10min);
  EXPECT_TRUE(port.writes.empty());
  EXPECT_TRUE(link->Queue().empty());
}

TEST_F(StationLinkTest, ApplyingANewPeriodStartsAfresh) {
  settings.PingInvToMonitSoft = 30;
  StartUp();
  time.Advance(20s);
  settings.PingInvToMonitSoft = 60;
  Link().ApplyPingInterval();
  time.Advance(59s);
  EXPECT_TRUE(port.writes.empty());
  time.Advance(1s);
  EXPECT_EQ(port.writes, Lines{kHeartbeatWire});
}

TEST_F(StationLinkTest, ThePortRenamedWhileLinesWait) {
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  settings.SerialPort = "COM2";
  Link().DoActivateSerialPort();
  EXPECT_EQ(port.Name(), "COM2");
  EXPECT_EQ(port.opened, (Lines{"COM1", "COM2"}));
  EXPECT_EQ(log.Texts(Kind::All),
            (Lines{"Serial Port COM1 opened", ">> " + kA, "Serial Port COM2 opened"}));
  time.Advance(5s);
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
  EXPECT_EQ(port.writtenTo, (Lines{"COM1", "COM2"}));
}

TEST_F(StationLinkTest, TheSameNameKeepsThePortOpen) {
  StartUp();
  Link().DoActivateSerialPort();
  EXPECT_EQ(port.opened, Lines{"COM1"});
  EXPECT_EQ(log.Texts(Kind::All), (Lines{"Serial Port COM1 opened", "Serial Port COM1 opened"}));
}

TEST_F(StationLinkTest, APortThatCannotBeOpenedCollectsLinesUntilItOpens) {
  settings.PingInvToMonitSoft = 30;
  port.failAll = true;
  StartUp();
  EXPECT_EQ(log.Texts(Kind::Imp), Lines{"!! CAN NOT OPEN SERIAL PORT COM1"});
  EXPECT_TRUE(log.Texts(Kind::All).empty());

  Link().PingMonitSoft();
  Link().AddToSendBuf(kA);
  time.Advance(30s);  // a heartbeat: now three wait
  Link().AppendToSendBuf(kB);
  time.Advance(30s);  // four wait: no heartbeat
  Link().AddToSendBuf(kC);
  EXPECT_TRUE(port.writes.empty());
  const std::string beat(kHeartbeatLine);
  EXPECT_EQ(Queue(), (Lines{beat, kA, beat, kB, kC}));

  port.failAll = false;
  Link().DoActivateSerialPort();
  EXPECT_EQ(log.Texts(Kind::All), Lines{"Serial Port COM1 opened"});
  time.Advance(5s);  // the next TimerSBSend tick
  for (int i = 0; i < 4; ++i) {
    port.Deliver("\x06");
  }
  EXPECT_EQ(port.writes, (Lines{Wire(beat), Wire(kA), Wire(beat), Wire(kB), Wire(kC)}));
}

TEST_F(StationLinkTest, AFailureWhileOpeningIsReportedByName) {
  port.throwOnOpen = true;
  Link().DoActivateSerialPort();
  EXPECT_EQ(log.ErrNames(), Lines{"DoActivateSerialPort"});
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(StationLinkTest, TheChunkHandlerGoesWithTheLink) {
  Link();
  EXPECT_TRUE(port.HasHandler());
  link.reset();
  EXPECT_FALSE(port.HasHandler());
}

TEST_F(StationLinkTest, TheJournalFollowsTheQueueButNotItsHeartbeats) {
  settings.PingInvToMonitSoft = 30;
  RecordingJournal journal;
  Link().SetJournal(&journal);
  StartUp();
  Link().PingMonitSoft();
  EXPECT_TRUE(Link().AddToSendBuf(kA));
  EXPECT_TRUE(Link().AppendToSendBuf(kB));
  EXPECT_EQ(journal.calls, (Lines{"+" + kA, "+" + kB}));
  port.Deliver("\x06");  // the heartbeat leaves
  port.Deliver("\x06");  // kA leaves
  EXPECT_EQ(journal.calls, (Lines{"+" + kA, "+" + kB, "-"}));
  Link().DropWaitingLines();
  EXPECT_TRUE(link->Queue().empty());
  EXPECT_EQ(journal.calls.back(), "clear");
}

TEST_F(StationLinkTest, ALineTheJournalRefusesIsQueuedAllTheSame) {
  RecordingJournal journal;
  journal.refuse = true;
  Link().SetJournal(&journal);
  StartUp();
  EXPECT_FALSE(Link().AddToSendBuf(kA));
  EXPECT_FALSE(Link().AppendToSendBuf(kB));
  EXPECT_EQ(Queue(), (Lines{kA, kB}));
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
}

TEST_F(StationLinkTest, RestoredLinesGoBehindTheWaitingOnesWithoutAJournalEntry) {
  settings.PingInvToMonitSoft = 30;
  RecordingJournal journal;
  Link().SetJournal(&journal);
  StartUp();
  Link().PingMonitSoft();
  Link().RestoreLines({kA, kB});
  EXPECT_EQ(Queue(), (Lines{std::string(kHeartbeatLine), kA, kB}));
  EXPECT_TRUE(journal.calls.empty());
  port.Deliver("\x06");
  EXPECT_EQ(port.writes, (Lines{kHeartbeatWire, Wire(kA)}));
  port.Deliver("\x06");
  EXPECT_EQ(journal.calls, Lines{"-"});
}

TEST_F(StationLinkTest, RestoredLinesGoOutAtOnceWhenNothingIsOnTheLine) {
  StartUp();
  Link().RestoreLines({kA});
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
}

TEST_F(StationLinkTest, ALostPortIsReportedOnceTriedEveryFiveSecondsAndServedOnItsReturn) {
  settings.PingInvToMonitSoft = 30;
  StartUp();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  Link().AppendToSendBuf(kC);
  port.failAll = true;
  port.Lose();
  port.Lose();  // a second report of the same loss changes nothing
  EXPECT_EQ(log.Texts(Kind::Imp), Lines{"!! SERIAL PORT COM1 LOST"});
  const size_t opensBefore = port.opened.size();
  time.Advance(4999ms);
  EXPECT_EQ(port.opened.size(), opensBefore);
  time.Advance(1ms);
  EXPECT_EQ(port.opened.size(), opensBefore + 1);
  time.Advance(55s);  // tried every 5 s, quietly; no heartbeat joins three waiting lines
  EXPECT_EQ(port.opened.size(), opensBefore + 12);
  EXPECT_EQ(log.Texts(Kind::Imp), Lines{"!! SERIAL PORT COM1 LOST"});
  EXPECT_EQ(Queue(), (Lines{kA, kB, kC}));

  port.writes.clear();
  port.failAll = false;
  time.Advance(5s);
  EXPECT_EQ(log.Texts(Kind::Imp),
            (Lines{"!! SERIAL PORT COM1 LOST", "Serial Port COM1 opened again"}));
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
  port.Deliver("\x06");
  port.Deliver("\x06");
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kB), Wire(kC)}));
  const size_t opensAfter = port.opened.size();
  time.Advance(1min);
  EXPECT_EQ(port.opened.size(), opensAfter);
}

TEST_F(StationLinkTest, ThePortOpenedByItsSettingWhileLostEndsTheTries) {
  StartUp();
  Link().AddToSendBuf(kA);
  port.failAll = true;
  port.Lose();
  port.failAll = false;
  settings.SerialPort = "COM2";
  Link().DoActivateSerialPort();
  EXPECT_EQ(port.Name(), "COM2");
  EXPECT_EQ(port.writes, (Lines{Wire(kA), Wire(kA)}));
  const size_t opens = port.opened.size();
  time.Advance(1min);
  EXPECT_EQ(port.opened.size(), opens);
  // A later loss is a new one, reported again.
  port.Lose();
  EXPECT_EQ(log.Texts(Kind::Imp), (Lines{"!! SERIAL PORT COM1 LOST", "!! SERIAL PORT COM2 LOST"}));
}

TEST_F(StationLinkTest, AnOutputThatOpensLaterIsServedOnceItIsOpen) {
  port.opensLater = true;
  port.outputName = "tcp:h:1";
  StartUp();
  Link().AddToSendBuf(kA);
  // A try under way is no failure yet.
  EXPECT_EQ(log.Texts(Kind::Imp), Lines{});
  EXPECT_EQ(port.writes, Lines{});
  port.FinishOpen(true);
  EXPECT_EQ(log.Texts(Kind::All), (Lines{"Output tcp:h:1 opened", ">> " + kA}));
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
}

TEST_F(StationLinkTest, AnOutputThatOpensLaterIsTriedEveryFiveSecondsAndReportedOnce) {
  port.opensLater = true;
  port.outputName = "tcp:h:1";
  StartUp();
  Link().AddToSendBuf(kA);
  port.FinishOpen(false);
  const size_t tries = port.opened.size();
  for (int i = 1; i <= 3; ++i) {
    time.Advance(5s);
    EXPECT_EQ(port.opened.size(), tries + static_cast<size_t>(i));
    port.FinishOpen(false);
  }
  EXPECT_EQ(log.Texts(Kind::Imp), Lines{"!! OUTPUT tcp:h:1 LOST"});
  time.Advance(5s);
  port.FinishOpen(true);
  EXPECT_EQ(log.Texts(Kind::Imp), (Lines{"!! OUTPUT tcp:h:1 LOST", "Output tcp:h:1 opened again"}));
  EXPECT_EQ(port.writes, Lines{Wire(kA)});
  const size_t opens = port.opened.size();
  time.Advance(1min);
  EXPECT_EQ(port.opened.size(), opens);
}

TEST_F(StationLinkTest, CountsWritesAnswersAndTheAgeOfTheHead) {
  settings.PingInvToMonitSoft = 30;
  StartUp();
  const RuntimeMetrics& m = Metrics();
  const uint64_t sent = m.stationLinesSent, resent = m.stationLinesResent;
  const uint64_t acks = m.stationAcks, naks = m.stationNaks;
  EXPECT_FALSE(Link().OldestLineQueuedAt());

  const TDateTime queued = time.Now();
  Link().AddToSendBuf(kA);
  Link().AppendToSendBuf(kB);
  time.Advance(5s);      // no answer: written again
  port.Deliver("\x15");  // refused: written again at once
  EXPECT_EQ(Link().OldestLineQueuedAt(), queued);
  EXPECT_EQ(m.stationLinesSent - sent, 1u);
  EXPECT_EQ(m.stationLinesResent - resent, 2u);
  EXPECT_EQ(m.stationNaks - naks, 1u);

  time.Advance(1s);
  port.Deliver("\x06");  // kA answered, kB goes out
  EXPECT_EQ(m.lastStationAnswer, time.Now());
  EXPECT_EQ(Link().OldestLineQueuedAt(), queued);  // kB was queued with kA
  EXPECT_EQ(m.stationLinesSent - sent, 2u);
  EXPECT_EQ(m.stationAcks - acks, 1u);
  const TDateTime heartbeatBefore = m.lastHeartbeatAnswer;
  port.Deliver("\x06");
  EXPECT_FALSE(Link().OldestLineQueuedAt());
  EXPECT_EQ(m.lastHeartbeatAnswer, heartbeatBefore);  // no heartbeat was answered

  time.Advance(30s);  // the heartbeat goes out 30 s after the start
  EXPECT_EQ(Link().OldestLineQueuedAt(), AddMilliseconds(queued, 30000));
  time.Advance(2s);
  port.Deliver("\x06");
  EXPECT_EQ(m.lastHeartbeatAnswer, time.Now());
  EXPECT_EQ(m.stationLinesSent - sent, 3u);
}

}  // namespace
}  // namespace talvero
