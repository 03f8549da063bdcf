#include "log/log_channel.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "base/runtime_metrics.hpp"
#include "log/exe_folder.hpp"
#include "log/log_file_watch.hpp"
#include "log/time_text.hpp"

namespace talvero {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSeparator = " - ";
// Openings of a path whose file keeps being replaced before one line is written.
constexpr int kOpenAttempts = 3;

[[noreturn]] void RaiseFileError(std::string_view what, const std::string& path, int error) {
  Metrics().logWriteFailures.fetch_add(1, std::memory_order_relaxed);
  throw std::runtime_error(
      fmt::format("Cannot {} \"{}\": {}", what, path, std::generic_category().message(error)));
}

void CreateFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    RaiseFileError("create log folder", folder, ec.value());
  }
}

int OpenForAppend(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

TLog::TLog(const Clock& clock, std::string_view folder, std::string_view fileName,
           TLogNaming naming, TLogView view, TLog* next)
    : clock_(clock),
      folder_(ExeFolder() + std::string(folder)),
      fileName_(fileName),
      naming_(naming),
      view_(std::move(view)),
      next_(next) {
  if (folder_.back() != '/') {
    folder_ += '/';
  }
  CreateFolder(folder_);
}

std::string TLog::FilePath(TDateTime moment) const {
  switch (naming_) {
    case TLogNaming::lnFixedName:
      return folder_ + fileName_ + ".log";
    case TLogNaming::lnDaily:
      return folder_ + LogDateText(moment) + ".log";
    case TLogNaming::lnNameAndDate:
      return folder_ + fileName_ + " " + LogDateText(moment) + ".log";
  }
  throw std::logic_error("TLog: unknown naming");
}

void TLog::Add(std::string_view message) {
  const std::string_view original = message;
  {
    std::lock_guard guard(lock_);
    if (!message.empty() && message.front() == '\0') {
      message.remove_prefix(1);
      blankPending_ = true;
    }
    // One moment for stamp and file name, so a line stamped 23:59:59 stays in
    // that day's file.
    const TDateTime now = clock_.Now();
    const std::string& stamp = StampAt(now);
    // The file's bytes: the empty line, if any, the line, its end. A deferred
    // line is put together where it waits for the flush, any other in a
    // buffer the channel keeps: no allocation per line.
    const bool deferred = static_cast<bool>(flushRequest_);
    std::string& text = deferred ? HeldFor(now) : line_;
    const bool first = text.empty();
    const size_t begin = deferred ? text.size() : 0;
    text.resize(begin);
    try {
      if (blankPending_) {
        text += kLineEnd;
      }
      const size_t lineStart = text.size();
      text += stamp;
      text += kSeparator;
      text += message;
      if (view_.observer) {
        view_.observer->ChannelLine(view_.channel, std::string_view(text).substr(lineStart),
                                    blankPending_);
      }
      text += kLineEnd;
    } catch (...) {
      text.resize(begin);
      throw;
    }
    if (!deferred) {
      AppendToFile(now, text);
    } else if (first) {
      flushRequest_();
    }
    blankPending_ = false;
    if (view_.observer && view_.indicator) {
      view_.observer->IndicatorBlink(view_.channel);
    }
  }
  if (next_) {
    next_->Add(original);
  }
}

// Lines come many to the second and nearly all to the same day's file: the
// texts are worked out once per second and once per day.
const std::string& TLog::StampAt(TDateTime moment) {
  const int64_t second = moment.ms / 1000;
  if (moment.ms < 0 || stamp_.empty() || second != stampSecond_) {
    stamp_ = TimeStampText(moment);
    stampSecond_ = second;
  }
  return stamp_;
}

const std::string& TLog::PathAt(TDateTime moment) {
  const int64_t day = naming_ == TLogNaming::lnFixedName ? 0 : moment.ms / TDateTime::kMsPerDay;
  if (moment.ms < 0 || path_.empty() || day != pathDay_) {
    path_ = FilePath(moment);
    pathDay_ = day;
  }
  return path_;
}

TLog::~TLog() {
  // Lines still waiting go out with the channel, as far as the file takes them.
  try {
    WriteHeld();
  } catch (const std::exception&) {
  }
  CloseFile();
}

void TLog::DeferWrites(std::function<void()> request) {
  std::lock_guard guard(lock_);
  flushRequest_ = std::move(request);
}

void TLog::Flush() {
  std::lock_guard guard(lock_);
  WriteHeld();
}

std::string& TLog::HeldFor(TDateTime moment) {
  const std::string& path = PathAt(moment);
  if (!held_.empty() && path != heldPath_) {
    WriteHeld();
  }
  if (held_.empty()) {
    heldMoment_ = moment;
    heldPath_ = path;
  }
  return held_;
}

void TLog::WriteHeld() {
  if (held_.empty()) {
    return;
  }
  // The lines go, written or not; the buffer stays for the next turn's.
  try {
    AppendToFile(heldMoment_, held_);
  } catch (...) {
    held_.clear();
    throw;
  }
  held_.clear();
}

void TLog::AppendToFile(TDateTime moment, std::string_view text) {
  const std::string& path = PathAt(moment);
  if (fd_ >= 0 && !StillAt(path)) {
    CloseFile();
  }
  if (fd_ < 0) {
    OpenFile(path);
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd_, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      const int error = written < 0 ? errno : EIO;
      // Part of a line that fitted (a full disk, a size limit) is taken back,
      // so the file still ends on a whole line.
      struct stat st {};
      if (done > 0 && ::fstat(fd_, &st) == 0 && st.st_size >= static_cast<off_t>(done)) {
        (void)::ftruncate(fd_, st.st_size - static_cast<off_t>(done));
      }
      // The next line starts again from the path.
      CloseFile();
      RaiseFileError("write log file", path, error);
    }
    done += static_cast<size_t>(written);
  }
}

bool TLog::StillAt(const std::string& path) {
  if (path != openPath_) {
    return false;
  }
  LogFileWatch* const watch = LogFileWatch::Instance();
  if (watched_ && watch->Changes() == seenChanges_) {
    return true;
  }
  // Something changed somewhere, or nothing watches: look at the path. The
  // count is taken first, so a change during the look is looked at next time.
  const uint64_t changes = watched_ ? watch->Changes() : 0;
  if (!OpenFileIsAt(path)) {
    return false;
  }
  seenChanges_ = changes;
  return true;
}

bool TLog::OpenFileIsAt(const std::string& path) const {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_dev == openDevice_ && st.st_ino == openInode_;
}

void TLog::OpenFile(const std::string& path) {
  LogFileWatch* const watch = LogFileWatch::Instance();
  for (int attempt = 1;; ++attempt) {
    OpenPath(path);
    watched_ = watch != nullptr && watch->Watch(path);
    if (!watched_) {
      return;
    }
    seenChanges_ = watch->Changes();
    // A change between the opening and the watch shows in this look.
    if (OpenFileIsAt(path)) {
      return;
    }
    if (attempt == kOpenAttempts) {
      // Replaced again and again: this line goes where it can, the next one looks again.
      watched_ = false;
      return;
    }
    CloseFile();
  }
}

void TLog::OpenPath(const std::string& path) {
  int fd = OpenForAppend(path);
  if (fd < 0 && errno == ENOENT) {
    // The folder was removed while the program runs.
    CreateFolder(folder_);
    fd = OpenForAppend(path);
  }
  if (fd < 0) {
    RaiseFileError("open log file", path, errno);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    RaiseFileError("open log file", path, error);
  }
  fd_ = fd;
  openPath_ = path;
  openDevice_ = st.st_dev;
  openInode_ = st.st_ino;
}

void TLog::CloseFile() {
  if (fd_ >= 0) {
    // Every line is written already; a failing close loses nothing.
    ::close(fd_);
    fd_ = -1;
  }
  openPath_.clear();
  watched_ = false;
}

}  // namespace talvero
