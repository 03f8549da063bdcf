#include "station/station_journal.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "station/journal_records.hpp"

namespace talvero {
namespace {

constexpr std::string_view kProcName = "StationJournal";

[[noreturn]] void ThrowErrno(std::string_view what, const std::filesystem::path& path) {
  throw std::runtime_error(fmt::format("{} {}: {}", what, path.string(), std::strerror(errno)));
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    ThrowErrno("cannot open folder", folder);
  }
  const int synced = ::fsync(fd);
  ::close(fd);
  if (synced != 0) {
    ThrowErrno("cannot sync folder", folder);
  }
}

void WriteFully(int fd, std::string_view bytes, const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowErrno("cannot write", path);
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

std::string DamageText(const JournalContent& content) {
  std::string text;
  if (content.damagedRecords > 0) {
    text = fmt::format("{} unreadable record(s) skipped", content.damagedRecords);
  }
  if (content.tornBytes > 0) {
    text += text.empty() ? "" : "; ";
    text += fmt::format("an unfinished last record of {} bytes dropped", content.tornBytes);
  }
  return text;
}

}  // namespace

StationJournal::StationJournal(std::filesystem::path path, Logger& log)
    : path_(std::move(path)), log_(log) {}

StationJournal::~StationJournal() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

std::vector<StationLine> StationJournal::Replay() {
  JournalContent content;
  Guarded(log_, "ReadStationJournal", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) {
      return;
    }
    content = ReadJournalRecords(ReadWholeFile(path_));
    if (const std::string damage = DamageText(content); !damage.empty()) {
      ReportFailure(log_, "ReadStationJournal", fmt::format("{}: {}", path_.string(), damage));
    }
  });
  waiting_.clear();
  for (const StationLine& line : content.lines) {
    waiting_.push_back({line, false});
  }
  Guarded(log_, kProcName, [&] { Rewrite(); });
  return std::move(content.lines);
}

bool StationJournal::Added(std::string_view line) {
  waiting_.push_back({StationLine(line), false});
  return Guarded(log_, kProcName, [&] {
    if (fd_ < 0) {
      OpenForAppend();
    }
    WriteAll(AddedRecord(line));
    waiting_.back().written = true;
    MarkDirty();
  });
}

void StationJournal::Removed() {
  if (waiting_.empty()) {
    return;
  }
  const bool written = waiting_.front().written;
  waiting_.pop_front();
  if (!written) {
    return;
  }
  Guarded(log_, kProcName, [&] {
    if (fd_ < 0) {
      OpenForAppend();
    }
    // A removal need not be durable at once: lost, it sends a line twice.
    if (waiting_.empty()) {
      if (::ftruncate(fd_, 0) != 0) {
        ThrowErrno("cannot empty", path_);
      }
      removedRecords_ = 0;
      return;
    }
    WriteAll(kRemovedRecord);
    if (++removedRecords_ > kCompactAfter && removedRecords_ > waiting_.size()) {
      Rewrite();
    }
  });
}

void StationJournal::Cleared() {
  waiting_.clear();
  Guarded(log_, kProcName, [&] {
    if (fd_ < 0) {
      OpenForAppend();
    }
    if (::ftruncate(fd_, 0) != 0) {
      ThrowErrno("cannot empty", path_);
    }
    removedRecords_ = 0;
    dirty_ = true;
    Sync();
  });
}

void StationJournal::Sync() {
  if (!dirty_) {
    return;
  }
  dirty_ = false;
  if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
    ThrowErrno("cannot sync", path_);
  }
}

void StationJournal::OpenForAppend() {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    ThrowErrno("cannot open", path_);
  }
}

void StationJournal::Rewrite() {
  std::string bytes;
  for (const Entry& entry : waiting_) {
    bytes += AddedRecord(entry.line);
  }
  std::filesystem::path fresh = path_;
  fresh += ".new";
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ThrowErrno("cannot create", fresh);
  }
  try {
    WriteFully(fd, bytes, fresh);
    if (::fdatasync(fd) != 0) {
      ThrowErrno("cannot sync", fresh);
    }
  } catch (...) {
    ::close(fd);
    ::unlink(fresh.c_str());
    throw;
  }
  ::close(fd);
  if (::rename(fresh.c_str(), path_.c_str()) != 0) {
    ThrowErrno("cannot rename", fresh);
  }
  // The appends that follow go to the new file: its name must last too.
  SyncFolder(path_.parent_path().empty() ? std::filesystem::path(".") : path_.parent_path());
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  OpenForAppend();
  for (Entry& entry : waiting_) {
    entry.written = true;
  }
  removedRecords_ = 0;
}

void StationJournal::WriteAll(std::string_view bytes) {
  const off_t size = ::lseek(fd_, 0, SEEK_END);
  try {
    WriteFully(fd_, bytes, path_);
  } catch (...) {
    // A half-written record would spoil the next one too.
    if (size >= 0) {
      (void)::ftruncate(fd_, size);
    }
    throw;
  }
}

void StationJournal::MarkDirty() {
  if (dirty_) {
    return;
  }
  dirty_ = true;
  if (syncRequest_) {
    syncRequest_();
  }
}

}  // namespace talvero
