#include "engine/unit_database.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "base/guard.hpp"
#include "engine/filter_text.hpp"
#include "engine/unit_record.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

// The texts of the two hosts where they differ.
struct DbTexts {
  std::string_view noDb;
  std::string_view createFailed;
  std::string_view connectFailed;
  std::string_view badSize;
};

constexpr DbTexts kDesktopTexts{
    "No DB found. Creating new database ..",
    "ERROR creating new DB. Application will not run.",
    "ERROR connecting to DB. Application will not run.",
    "ERROR!! Database size is invalid. Please repair or delete database (Talvero.db) and "
    "launch the application again",
};
constexpr DbTexts kServiceTexts{
    "No DB find. Creating new database ..",
    "ERROR creating new DB. Service will not run.",
    "ERROR connecting to DB. Service will not run.",
    "ERROR!! Database size is invalid. Please repair or delete database (Talvero.db) and "
    "launch the service again.",
};

constexpr std::string_view kUpgradeText =
    "Loading Database (max 10000 units). Updating to Database v2 (max 65535 units)...";

const DbTexts& TextsOf(HostKind host) {
  return host == HostKind::Desktop ? kDesktopTexts : kServiceTexts;
}

// Closes a descriptor unless it was handed on.
class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string ErrnoText(int error) {
  return std::strerror(error);
}

bool FileMissing(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 && errno == ENOENT;
}

void WriteAll(int fd, uint64_t offset, const void* data, size_t size, const std::string& path) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      throw std::runtime_error(fmt::format("Write error on \"{}\": {}", path,
                                           written < 0 ? ErrnoText(errno) : "nothing written"));
    }
    bytes += written;
    size -= static_cast<size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
}

void ReadAll(int fd, std::vector<uint8_t>& buffer, const std::string& path) {
  size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t got =
        ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      throw std::runtime_error(fmt::format("Read error on \"{}\": {}", path,
                                           got < 0 ? ErrnoText(errno) : "the file is too short"));
    }
    done += static_cast<size_t>(got);
  }
}

// The version-2 unit of a version-1 record: the decimal digits of the index
// read as hexadecimal (10 -> 0x0010, 9999 -> 0x9999).
uint16_t Version2Unit(size_t index) {
  unsigned unit = 0;
  for (unsigned shift = 0; index > 0; shift += 4, index /= 10) {
    unit |= static_cast<unsigned>(index % 10) << shift;
  }
  return static_cast<uint16_t>(unit);
}

uint64_t RecordOffset(uint16_t unit) {
  return static_cast<uint64_t>(unit) * kUnitRecordSize;
}

}  // namespace

UnitDatabase::UnitDatabase(UnitTables& tables, Logger& log, Options options)
    : tables_(tables), log_(log), options_(std::move(options)) {}

UnitDatabase::~UnitDatabase() {
  CloseFile();
}

void UnitDatabase::CloseFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  recordsToLoad_ = 0;
  image_.clear();
  pending_.clear();
  changed_.clear();
}

bool UnitDatabase::ConnDB() {
  bool connected = false;
  Guarded(log_, "ConnDB", [&] {
    const DbTexts& texts = TextsOf(options_.host);
    if (FileMissing(options_.path)) {
      log_.LogAllMsg(texts.noDb);
      if (!CreateNewDB()) {
        log_.LogErrorText(texts.createFailed);
        return;
      }
      log_.LogAllMsg("New database created");
    }
    log_.LogAllMsg("Connecting to existing database .. ");
    if (!ReadExistDB()) {
      log_.LogErrorText(texts.connectFailed);
      return;
    }
    log_.LogAllMsg("Connected to database");
    connected = true;
  });
  return connected;
}

bool UnitDatabase::CreateNewDB() {
  return Guarded(log_, "CreateNewDB", [&] {
    // Only ever called for a missing file: never truncate one that appeared
    // meanwhile, it may be another engine's live database.
    const int fd = ::open(options_.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      throw std::runtime_error(
          fmt::format("Cannot create file \"{}\". {}", options_.path, ErrnoText(errno)));
    }
    FileCloser closer(fd);
    try {
      const std::vector<uint8_t> zeros(kVersion2FileSize);
      WriteAll(fd, 0, zeros.data(), zeros.size(), options_.path);
      if (::close(closer.Release()) != 0) {
        throw std::runtime_error(
            fmt::format("Write error on \"{}\": {}", options_.path, ErrnoText(errno)));
      }
    } catch (...) {
      // A half-written file would be refused for its size at every later start.
      ::unlink(options_.path.c_str());
      throw;
    }
  });
}

bool UnitDatabase::ReadExistDB() {
  CloseFile();
  bool accepted = false;
  Guarded(log_, "ReadExistDB", [&] {
    const int fd = ::open(options_.path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      throw std::runtime_error(
          fmt::format("Cannot open file \"{}\". {}", options_.path, ErrnoText(errno)));
    }
    FileCloser closer(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      throw std::runtime_error(fmt::format(
          "Cannot open file \"{}\". {}", options_.path,
          error == EWOULDBLOCK ? "The file is in use by another process" : ErrnoText(error)));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      throw std::runtime_error(
          fmt::format("Cannot open file \"{}\". {}", options_.path, ErrnoText(errno)));
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    if (size == kVersion2FileSize) {
      recordsToLoad_ = kVersion2RecordCount;
    } else if (size == kVersion1FileSize) {
      recordsToLoad_ = kVersion1RecordCount;
      log_.LogImpMsg(kUpgradeText);
    } else {
      log_.LogErrorText(TextsOf(options_.host).badSize);
      return;
    }
    fd_ = closer.Release();
    accepted = true;
  });
  return accepted;
}

bool UnitDatabase::ReadDB_and_FillU_onStartUp(const CommTrLimit& defaults) {
  return Guarded(log_, "ReadDB_and_FillU_onStartUp", [&] { LoadRecords(defaults); });
}

void UnitDatabase::LoadRecords(const CommTrLimit& defaults) {
  if (!IsOpen()) {
    throw std::runtime_error("The database is not open");
  }
  const size_t count = recordsToLoad_;
  const bool version1 = count == kVersion1RecordCount;
  std::vector<uint8_t> records(count * kUnitRecordSize);
  ReadAll(fd_, records, options_.path);
  image_.clear();

  // The thresholds come before any change to the file, so that a saved
  // thresholds file that cannot be read leaves a version-1 file as it was.
  std::fill(tables_.CommTrLimits.begin(), tables_.CommTrLimits.end(), defaults);
  if (options_.loadCommTrData) {
    options_.loadCommTrData();
  }

  if (version1) {
    const std::vector<uint8_t> zeros(kVersion2FileSize - kVersion1FileSize);
    WriteAll(fd_, kVersion1FileSize, zeros.data(), zeros.size(), options_.path);
    recordsToLoad_ = kVersion2RecordCount;
  }
  // The records' moves below go through WriteAt and keep the image true.
  image_ = records;
  image_.resize(kVersion2FileSize);
  pending_.assign(kUnitCount, Pending{});

  const auto takeRecord = [&](size_t index) {
    const UnitRecordView record(records.data() + index * kUnitRecordSize, kUnitRecordSize);
    const auto from = static_cast<uint16_t>(index);
    if (!RecordInUse(record)) {
      tables_.CommTrLimits[from] = defaults;
      return;
    }
    const uint16_t unit = version1 ? Version2Unit(index) : from;
    LoadRecord(record, tables_.UnitTable[unit]);
    if (unit != from) {
      WriteAt(RecordOffset(unit), record.data(), record.size());
      tables_.CommTrLimits[unit] = tables_.CommTrLimits[from];
      DeleteUnit(from, defaults);
    }
    UpdateFilterText(unit);
    if (IsDesktop() && options_.observer != nullptr) {
      options_.observer->UnitChanged(unit);
    }
  };

  if (version1) {
    // The new number is never below the old one and grows with it, so going
    // down never clears or overwrites a record already moved.
    for (size_t index = count; index-- > 0;) {
      takeRecord(index);
    }
    // The slots a version-1 file never had drop saved thresholds too.
    for (size_t unit = count; unit < kUnitCount; ++unit) {
      if (tables_.UnitTable[unit].Active != 1) {
        tables_.CommTrLimits[unit] = defaults;
      }
    }
  } else {
    for (size_t index = 0; index < count; ++index) {
      takeRecord(index);
    }
  }
}

void UnitDatabase::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!IsOpen()) {
    throw std::runtime_error("The database is not open");
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (offset + size > image_.size()) {
    // Before the load there is no image to hold the bytes in.
    WriteAll(fd_, offset, data, size, options_.path);
    return;
  }
  const auto unit = static_cast<uint16_t>(offset / kUnitRecordSize);
  const size_t begin = offset % kUnitRecordSize;
  if (begin + size > kUnitRecordSize) {
    throw std::logic_error("A database write crosses its record's end");
  }
  Pending& pending = pending_[unit];
  const auto at = image_.begin() + static_cast<ptrdiff_t>(offset);
  const bool same = std::equal(bytes, bytes + size, at);
  if (same && pending.begin == pending.end) {
    return;
  }
  std::copy(bytes, bytes + size, at);
  if (pending.begin == pending.end) {
    pending = {static_cast<uint8_t>(begin), static_cast<uint8_t>(begin + size)};
  } else {
    pending.begin = std::min(pending.begin, static_cast<uint8_t>(begin));
    pending.end = std::max(pending.end, static_cast<uint8_t>(begin + size));
  }
  if (std::find(changed_.begin(), changed_.end(), unit) == changed_.end()) {
    changed_.push_back(unit);
  }
  if (!holding_) {
    WriteHeld();
  }
}

void UnitDatabase::WriteHeld() {
  std::exception_ptr failure;
  for (const uint16_t unit : changed_) {
    Pending& pending = pending_[unit];
    const uint64_t offset = RecordOffset(unit) + pending.begin;
    try {
      WriteAll(fd_, offset, image_.data() + offset, pending.end - pending.begin, options_.path);
      pending = {};
    } catch (const std::exception&) {
      // The bytes stay pending: the record's next change writes them again.
      if (!failure) {
        failure = std::current_exception();
      }
    }
  }
  changed_.clear();
  if (failure) {
    std::rethrow_exception(failure);
  }
}

void UnitDatabase::WriteUnitField(uint16_t unit, UnitField field) {
  const FieldBytes bytes = UnitFieldBytes(tables_.UnitTable[unit], field);
  WriteAt(RecordOffset(unit) + bytes.offset, bytes.bytes.data(), bytes.size);
}

void UnitDatabase::UpdateFilterText(uint16_t unit) {
  TUnitStruct& slot = tables_.UnitTable[unit];
  BuildFilterText(unit, slot, slot.FilterText);
}

void UnitDatabase::DeleteUnit(uint16_t unit, const CommTrLimit& defaults) {
  TUnitStruct& slot = tables_.UnitTable[unit];
  // Only the time of the last frame outlives the unit's deletion.
  const TDateTime lastRecvTime = slot.LastRecvTime;
  slot = TUnitStruct{};
  slot.LastRecvTime = lastRecvTime;
  tables_.CommTrLimits[unit] = defaults;
  static constexpr std::array<uint8_t, kUnitRecordSize> kZeroRecord{};
  WriteAt(RecordOffset(unit), kZeroRecord.data(), kZeroRecord.size());
}

std::string UnitDatabase::FindFirstFreeUnitNr() {
  for (size_t unit = 1; unit < kUnitCount; ++unit) {
    TUnitStruct& slot = tables_.UnitTable[unit];
    if (slot.Active == 0 && slot.Reserved == 0) {
      slot.Reserved = 1;
      return UnitText(static_cast<uint16_t>(unit));
    }
  }
  return "FFFF";
}

}  // namespace talvero
