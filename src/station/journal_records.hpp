#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "station/station_line.hpp"

namespace talvero {

// The records of the station journal, one text line each, ended by LF:
//   "A" + 8 hex digits (FNV-1a of the line) + " " + the line in hex   a line was queued
//   "D"                                                               the oldest line left
// Lines carry bytes from unit frames (the account, the event code), so they are
// written in hex: no byte of a line can end or fake a record.
std::string AddedRecord(std::string_view line);
inline constexpr std::string_view kRemovedRecord = "D\n";

struct JournalContent {
  std::vector<StationLine> lines;  // the lines still waiting, oldest first
  size_t damagedRecords = 0;       // whole records that were not readable, skipped
  size_t tornBytes = 0;            // bytes of an unfinished last record, dropped
};

// Reads journal bytes as written by any run, also one cut short by a crash or
// damaged on disk: an unreadable record loses that record only.
JournalContent ReadJournalRecords(std::string_view bytes);

}  // namespace talvero
