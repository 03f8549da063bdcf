#include "log/log_channel.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "log/exe_folder.hpp"
#include "log/time_text.hpp"

namespace talvero {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

[[noreturn]] void RaiseFileError(std::string_view what, const std::string& path, int error) {
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
    std::string line = TimeStampText(now);
    line += " - ";
    line += message;
    if (view_.observer) {
      view_.observer->ChannelLine(view_.channel, line, blankPending_);
    }
    std::string text;
    text.reserve(line.size() + 2 * kLineEnd.size());
    if (blankPending_) {
      text += kLineEnd;
    }
    text += line;
    text += kLineEnd;
    AppendToFile(now, text);
    blankPending_ = false;
    if (view_.observer && view_.indicator) {
      view_.observer->IndicatorBlink(view_.channel);
    }
  }
  if (next_) {
    next_->Add(original);
  }
}

void TLog::AppendToFile(TDateTime moment, std::string_view text) {
  const std::string path = FilePath(moment);
  int fd = OpenForAppend(path);
  if (fd < 0 && errno == ENOENT) {
    // The folder was removed while the program runs.
    CreateFolder(folder_);
    fd = OpenForAppend(path);
  }
  if (fd < 0) {
    RaiseFileError("open log file", path, errno);
  }
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      const int error = written < 0 ? errno : EIO;
      ::close(fd);
      RaiseFileError("write log file", path, error);
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  if (::close(fd) != 0 && errno != EINTR) {
    RaiseFileError("close log file", path, errno);
  }
}

}  // namespace talvero
