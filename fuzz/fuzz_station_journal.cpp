// The station journal of any bytes: read, replayed from a file and written
// afresh. The lines replayed are the lines the records hold, and the file
// written afresh reads back as exactly those lines, undamaged.
#include <filesystem>

#include "fuzz_support.hpp"
#include "station/journal_records.hpp"
#include "station/station_journal.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  const std::string_view bytes = fuzzing::Bytes(data, size);
  const JournalContent content = ReadJournalRecords(bytes);

  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "Talvero_station.jnl";
  testing::WriteFile(path, bytes);
  testing::RecordingLogger log;
  StationJournal journal(path, log);
  if (journal.Replay() != content.lines) {
    fuzzing::Finding("the replay differs from the records");
  }
  const bool damaged = content.damagedRecords > 0 || content.tornBytes > 0;
  if (log.ErrNames().empty() == damaged) {
    fuzzing::Finding("damage reported wrongly");
  }
  const JournalContent again = ReadJournalRecords(testing::ReadFile(path));
  if (again.lines != content.lines || again.damagedRecords > 0 || again.tornBytes > 0) {
    fuzzing::Finding("the journal written afresh does not read back");
  }
  return 0;
}
