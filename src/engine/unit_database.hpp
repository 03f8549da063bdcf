#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "engine/unit_field.hpp"
#include "engine/unit_table.hpp"
#include "log/host_observer.hpp"

namespace talvero {

// The unit database Talvero.db: read whole at start-up (a version-1 file of
// 10,000 records is grown and renumbered once), then written through one field
// at a time as the unit table changes. The file stays open and locked against
// other engines from ReadExistDB until this object goes away.
class UnitDatabase final : public UnitFieldWriter {
 public:
  struct Options {
    HostKind host = HostKind::Service;
    std::string path;  // the home folder's Talvero.db
    // Desktop host: told of every unit the load puts into the table.
    HostObserver* observer = nullptr;
    // Desktop host: applies the saved per-unit thresholds over the defaults
    // during the load; an exception fails the load.
    std::function<void()> loadCommTrData;
  };

  UnitDatabase(UnitTables& tables, Logger& log, Options options);
  ~UnitDatabase() override;
  UnitDatabase(const UnitDatabase&) = delete;
  UnitDatabase& operator=(const UnitDatabase&) = delete;

  // Creates the file when it is missing, then opens it.
  bool ConnDB();
  // Writes a new all-zero version-2 file; never replaces an existing file.
  bool CreateNewDB();
  // Opens and locks the file and accepts the size of version 2 or version 1.
  bool ReadExistDB();
  // Loads every in-use record into the table; converts a version-1 file.
  // defaults are CommTrouble1..3, the thresholds of every reset entry.
  bool ReadDB_and_FillU_onStartUp(const CommTrLimit& defaults);

  // One positioned write of the field's bytes, none when the file holds them
  // already; throws std::runtime_error.
  void WriteUnitField(uint16_t unit, UnitField field) override;
  void UpdateFilterText(uint16_t unit);
  // Empties the slot and zeroes its record. The slot is empty even when the
  // write fails, which throws std::runtime_error for the operator's error box.
  void DeleteUnit(uint16_t unit, const CommTrLimit& defaults);
  // Reserves the first free unit number from 1 up; "FFFF" when none is free.
  std::string FindFirstFreeUnitNr();

  bool IsOpen() const { return fd_ >= 0; }
  // 65,536 for a version-2 file, 10,000 for a version-1 file; 0 before ReadExistDB.
  size_t RecordsToLoad() const { return recordsToLoad_; }

 private:
  void LoadRecords(const CommTrLimit& defaults);
  void WriteAt(uint64_t offset, const void* data, size_t size);
  void CloseFile();
  bool IsDesktop() const { return options_.host == HostKind::Desktop; }

  UnitTables& tables_;
  Logger& log_;
  Options options_;
  int fd_ = -1;
  size_t recordsToLoad_ = 0;
  // The file's bytes as last read or written, from the load on: most frames
  // store the LastMsgTime second the record holds already, and skipping that
  // write saves a system call per frame. Empty before the load.
  std::vector<uint8_t> image_;
};

}  // namespace talvero
