#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "log/clock.hpp"
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
// its file, which is opened and closed for every line so that nothing is lost
// when the process dies. Files are only ever appended to.
class TLog {
 public:
  // folder is relative to ExeFolder(); it is created, with its parents, when
  // missing. Raises when it cannot be created.
  TLog(const Clock& clock, std::string_view folder, std::string_view fileName, TLogNaming naming,
       TLogView view = {}, TLog* next = nullptr);

  // Writes one message as "yyyy.mm.dd hh:nn:ss - message" CR LF. A message
  // that starts with NUL gets an empty line before it, without the NUL.
  // Raises on every failure of the file system; the line is then lost.
  void Add(std::string_view message);

  // ExeFolder() + folder, ending in a separator.
  const std::string& Folder() const { return folder_; }
  // The file a line written at this moment goes to.
  std::string FilePath(TDateTime moment) const;

 private:
  void AppendToFile(TDateTime moment, std::string_view text);

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
};

}  // namespace talvero
