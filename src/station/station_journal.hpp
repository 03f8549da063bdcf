#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/logger.hpp"
#include "station/line_journal.hpp"
#include "station/station_line.hpp"

namespace talvero {

// In the home folder, beside Talvero.db.
inline constexpr std::string_view kStationJournalFileName = "Talvero_station.jnl";

// The station journal file in the home folder. Every added line is written at
// once; Sync makes the writes durable, and the host calls it before the
// answers of a loop turn leave, so one sync covers all lines of the turn. A
// line whose write failed stays in memory and is written again with the next
// compaction; its frame is not acknowledged (Added gives false).
//
// Not thread-safe: runs on the host's event thread.
class StationJournal final : public LineJournal {
 public:
  // Removal records past which the file is written afresh with the waiting lines.
  static constexpr size_t kCompactAfter = 4096;

  StationJournal(std::filesystem::path path, Logger& log);
  ~StationJournal() override;
  StationJournal(const StationJournal&) = delete;
  StationJournal& operator=(const StationJournal&) = delete;

  // Reads the journal a former run left, reports damage with LogErr, writes
  // the file afresh with the lines still waiting and gives them, oldest first.
  // Never throws: a journal that cannot be read gives no lines.
  std::vector<StationLine> Replay();

  bool Added(std::string_view line) override;
  void Removed() override;
  void Cleared() override;

  // Makes every write so far durable; throws when the disk refuses.
  void Sync();
  // Lines written since the last sync wait for it.
  bool SyncPending() const { return dirty_; }
  bool Dirty() const { return dirty_; }
  // Called once each time the journal gets writes that are not yet durable.
  void SetSyncRequest(std::function<void()> request) { syncRequest_ = std::move(request); }

 private:
  struct Entry {
    StationLine line;
    bool written;
  };

  void OpenForAppend();
  // Writes the file anew with the waiting lines: beside it, synced, renamed.
  void Rewrite();
  void WriteAll(std::string_view bytes);
  void MarkDirty();

  const std::filesystem::path path_;
  Logger& log_;
  int fd_ = -1;
  std::deque<Entry> waiting_;
  size_t removedRecords_ = 0;
  bool dirty_ = false;
  std::function<void()> syncRequest_;
};

}  // namespace talvero
