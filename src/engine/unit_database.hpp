#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
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
// 10,000 records is grown and renumbered once), then written through as the
// unit table changes: one positioned write per changed record and operation. The file stays open
// and locked against other engines from ReadExistDB until this object goes away.
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
  // already; throws std::runtime_error. Inside WriteTogether the write waits
  // for the operation's end.
  void WriteUnitField(uint16_t unit, UnitField field) override;
  // Runs the operation with its writes held, then writes every record it
  // changed with one positioned write of the record's changed bytes. The held
  // writes are made also when the operation throws; its own failure is then
  // the one that goes on. A write that fails is made again with the record's
  // next change.
  template <typename Operation>
  void WriteTogether(Operation&& operation);
  void WriteFieldsTogether(const std::function<void()>& operation) override {
    WriteTogether(operation);
  }
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
  // Puts the bytes into the image and marks them for the record's next write;
  // writes at once unless an operation holds its writes.
  void WriteAt(uint64_t offset, const void* data, size_t size);
  // Writes the marked bytes of every record changed since the last call;
  // throws the first failure after trying them all.
  void WriteHeld();
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
  // Per record, the bytes of the image the file may not hold yet: [begin, end)
  // within the record, empty when begin == end.
  struct Pending {
    uint8_t begin = 0;
    uint8_t end = 0;
  };
  std::vector<Pending> pending_;
  // The records with pending bytes to write at the next WriteHeld, in the
  // order of their first change.
  std::vector<uint16_t> changed_;
  bool holding_ = false;
};

template <typename Operation>
void UnitDatabase::WriteTogether(Operation&& operation) {
  if (holding_) {
    operation();
    return;
  }
  holding_ = true;
  try {
    operation();
  } catch (...) {
    holding_ = false;
    try {
      WriteHeld();
    } catch (const std::exception&) {
      // Reported by the next write of the record; the operation's failure goes on.
    }
    throw;
  }
  holding_ = false;
  WriteHeld();
}

}  // namespace talvero
