#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "base/clock.hpp"
#include "log/host_observer.hpp"

namespace talvero {

enum class TLogNaming {
  lnFixedName,    // folder + fileName + ".log": one file that grows for ever
  lnDaily,        // folder + "yyyy-mm-dd.log": a new file every day
  lnNameAndDate,  // folder + fileName + " yyyy-mm-dd.log"
};

// Where a channel's lines are shown besides its file (desktop host only).
struct TLogView {
  HostObserver* observer = nullptr;  // none: the channel has no view
  std::string channel;               // "All msg", "Imp_msg" or "Errors"
  bool indicator = false;            // the channel's indicator blinks for every line
};

// One log channel: every message becomes one time-stamped line, appended to
// its file with one write before Add returns, so nothing is lost when the
// process dies. Files are only ever appended to. The file stays open between
// lines while it is still the one at the line's path (LogFileWatch); a new
// day's name, or a file, folder or link on the path deleted, moved or replaced
// meanwhile, makes the next line open the path anew, creating what is missing.
class TLog {
 public:
  // folder is relative to ExeFolder(); it is created, with its parents, when
  // missing. Raises when it cannot be created.
  TLog(const Clock& clock, std::string_view folder, std::string_view fileName, TLogNaming naming,
       TLogView view = {}, TLog* next = nullptr);
  ~TLog();
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // Writes one message as "yyyy.mm.dd hh:nn:ss - message" CR LF. A message
  // that starts with NUL gets an empty line before it, without the NUL.
  // Raises on every failure of the file system; the line is then lost.
  void Add(std::string_view message);

  // From now on lines wait in memory until Flush, which writes them all with
  // one write; the first waiting line calls request, once until the Flush.
  // The host flushes at the end of each loop turn, before the turn's answers
  // leave, so a line is in its file before the frame it tells of is answered.
  void DeferWrites(std::function<void()> request);
  // Writes the waiting lines; raises on failure, and they are lost.
  void Flush();

  // ExeFolder() + folder, ending in a separator.
  const std::string& Folder() const { return folder_; }
  // The file a line written at this moment goes to.
  std::string FilePath(TDateTime moment) const;

 private:
  void AppendToFile(TDateTime moment, std::string_view text);
  // Deferred writes: the text that waits for the next flush, where a line of
  // this moment is added; lines of another file (a new day's) go after the
  // waiting ones are written.
  std::string& HeldFor(TDateTime moment);
  void WriteHeld();
  // TimeStampText and FilePath of the moment, kept while they stay the same.
  const std::string& StampAt(TDateTime moment);
  const std::string& PathAt(TDateTime moment);
  // True when the open file is still the one at path. Costs no system call
  // while the file watch has seen no change anywhere.
  bool StillAt(const std::string& path);
  bool OpenFileIsAt(const std::string& path) const;
  // Opens path and watches it; raises on failure.
  void OpenFile(const std::string& path);
  void OpenPath(const std::string& path);
  void CloseFile();

  const Clock& clock_;
  std::string folder_;
  std::string fileName_;
  TLogNaming naming_;
  TLogView view_;
  TLog* next_;
  // Add may be reached from more than one thread (a host's event thread and
  // the background writer at start and close).
  std::mutex lock_;
  bool blankPending_ = false;
  std::function<void()> flushRequest_;  // set: writes are deferred
  std::string held_;
  TDateTime heldMoment_;
  std::string heldPath_;
  std::string line_;  // the line being written at once
  std::string stamp_;
  int64_t stampSecond_ = 0;
  std::string path_;
  int64_t pathDay_ = 0;
  // The file lines go to, and what it was when it was opened.
  int fd_ = -1;
  std::string openPath_;
  dev_t openDevice_ = 0;
  ino_t openInode_ = 0;
  // Whether the file watch covers it, and its count of changes at the last look.
  bool watched_ = false;
  uint64_t seenChanges_ = 0;
};

}  // namespace talvero
