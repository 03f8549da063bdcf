#include "station/station_journal.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "station/journal_records.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using testing::ReadFile;
using testing::RecordingLogger;
using testing::TempDir;
using testing::WriteFile;
using Kind = RecordingLogger::Kind;
using Lines = std::vector<StationLine>;

const StationLine kA = "5077 181111E13001001";
const StationLine kB = "5077 182222E13001002";
const StationLine kC = "5077 183333E13001003";

class StationJournalTest : public ::testing::Test {
 protected:
  std::filesystem::path Path() const { return dir.path() / "Talvero_station.jnl"; }

  // What a restart would find in the file.
  Lines Restarted() const { return ReadJournalRecords(ReadFile(Path())).lines; }

  TempDir dir;
  RecordingLogger log;
};

TEST_F(StationJournalTest, LinesSurviveUntilTheirRemoval) {
  StationJournal journal(Path(), log);
  EXPECT_EQ(journal.Replay(), Lines{});
  EXPECT_TRUE(journal.Added(kA));
  EXPECT_TRUE(journal.Added(kB));
  EXPECT_TRUE(journal.Added(kC));
  EXPECT_EQ(Restarted(), (Lines{kA, kB, kC}));
  journal.Removed();
  EXPECT_EQ(Restarted(), (Lines{kB, kC}));
  journal.Removed();
  journal.Removed();
  EXPECT_EQ(Restarted(), Lines{});
  // The last removal empties the file instead of adding to it.
  EXPECT_EQ(ReadFile(Path()), "");
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(StationJournalTest, ReplayGivesTheWaitingLinesAndWritesThemAfresh) {
  WriteFile(Path(),
            AddedRecord(kA) + AddedRecord(kB) + std::string(kRemovedRecord) + AddedRecord(kC));
  StationJournal journal(Path(), log);
  EXPECT_EQ(journal.Replay(), (Lines{kB, kC}));
  EXPECT_EQ(ReadFile(Path()), AddedRecord(kB) + AddedRecord(kC));
  // The replayed lines are journal lines like any other.
  journal.Removed();
  EXPECT_TRUE(journal.Added(kA));
  EXPECT_EQ(Restarted(), (Lines{kC, kA}));
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(StationJournalTest, ADamagedJournalLosesTheDamagedRecordOnlyAndIsReported) {
  std::string flipped = AddedRecord(kB);
  flipped[14] = flipped[14] == '3' ? '4' : '3';
  WriteFile(Path(), AddedRecord(kA) + flipped + AddedRecord(kC) + AddedRecord(kA).substr(0, 7));
  StationJournal journal(Path(), log);
  EXPECT_EQ(journal.Replay(), (Lines{kA, kC}));
  ASSERT_EQ(log.ErrNames(), std::vector<std::string>{"ReadStationJournal"});
  EXPECT_TRUE(log.Has(Kind::Err, "1 unreadable record(s) skipped"));
  EXPECT_TRUE(log.Has(Kind::Err, "an unfinished last record of 7 bytes dropped"));
  // The damage is gone from the file once replayed.
  EXPECT_EQ(ReadFile(Path()), AddedRecord(kA) + AddedRecord(kC));
}

TEST_F(StationJournalTest, AJournalThatCannotBeReadGivesNoLinesAndStartUpGoesOn) {
  std::filesystem::create_directories(Path());  // a folder where the file should be
  StationJournal journal(Path(), log);
  EXPECT_EQ(journal.Replay(), Lines{});
  EXPECT_EQ(log.ErrNames(), (std::vector<std::string>{"ReadStationJournal", "StationJournal"}));
}

TEST_F(StationJournalTest, AFailedWriteIsReportedAndLaterLinesAreKeptAgain) {
  const auto folder = dir.path() / "home";
  const auto path = folder / "Talvero_station.jnl";
  StationJournal journal(path, log);
  journal.Replay();  // the folder is missing: nothing can be written
  EXPECT_FALSE(journal.Added(kA));
  EXPECT_EQ(log.ErrNames(), (std::vector<std::string>{"StationJournal", "StationJournal"}));
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(journal.Added(kB));
  EXPECT_EQ(ReadJournalRecords(ReadFile(path)).lines, Lines{kB});
  // The refused line leaves the queue without a record of its own.
  journal.Removed();
  EXPECT_EQ(ReadJournalRecords(ReadFile(path)).lines, Lines{kB});
  journal.Removed();
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(StationJournalTest, ManyRemovalsCompactTheFile) {
  StationJournal journal(Path(), log);
  journal.Replay();
  ASSERT_TRUE(journal.Added(kA));
  for (size_t i = 0; i <= StationJournal::kCompactAfter; ++i) {
    ASSERT_TRUE(journal.Added(kB));
    journal.Removed();
  }
  // One line waits; the file holds it alone instead of thousands of records.
  EXPECT_EQ(ReadFile(Path()), AddedRecord(kB));
  EXPECT_EQ(Restarted(), Lines{kB});
}

TEST_F(StationJournalTest, SyncIsAskedForOnceUntilItHasRun) {
  StationJournal journal(Path(), log);
  journal.Replay();
  int requests = 0;
  journal.SetSyncRequest([&] { ++requests; });
  journal.Added(kA);
  journal.Added(kB);
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(journal.Dirty());
  journal.Sync();
  EXPECT_FALSE(journal.Dirty());
  journal.Removed();  // a removal needs no sync
  EXPECT_EQ(requests, 1);
  journal.Added(kC);
  EXPECT_EQ(requests, 2);
}

TEST_F(StationJournalTest, ClearedEmptiesTheFile) {
  StationJournal journal(Path(), log);
  journal.Replay();
  journal.Added(kA);
  journal.Added(kB);
  journal.Cleared();
  EXPECT_EQ(ReadFile(Path()), "");
  EXPECT_FALSE(journal.Dirty());
  journal.Removed();  // nothing waits: no record
  EXPECT_EQ(ReadFile(Path()), "");
}

}  // namespace
}  // namespace talvero
