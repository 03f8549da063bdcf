#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "log/host_logger.hpp"
#include "log/string_parser_thread.hpp"

namespace talvero {

// The desktop host's logs under Log/: "All msg" goes through a background
// writer, and every channel line and sound reaches the observer. The log
// operations are called from the host's event thread only.
class DesktopLogger final : public HostLogger {
 public:
  DesktopLogger(const Clock& clock, HostObserver& observer);

  // Hands the message to the writer, starting one when there is none or the
  // last one ended after a failed write (whose text then goes to "Errors").
  // A failure to hand it over goes to "Errors".
  void LogAllMsg(std::string_view message) override;
  // Sound 2, then "Imp_msg"; a failed "Imp_msg" write is raised, and the
  // message does not reach "All msg".
  void LogImpMsg(std::string_view message) override;
  // Sound 3, then the report to "Errors".
  void LogErr(std::string_view procName, std::string_view failure) override;
  // Also reports the text of a failed write that had ended the writer.
  void StopWriter() override;

  // True while a writer exists and has not ended.
  bool WriterRunning() const { return writer_ && !writer_->Finished(); }

 private:
  // A failing sound must not keep the report from "Errors", nor call LogErr
  // again (which would play the failing sound once more).
  void PlaySound(int index);
  // Stops and forgets the writer; gives the text of the failed write that
  // ended it, if one did.
  std::string ReleaseWriter();

  HostObserver& observer_;
  // The named lock "corvane": guards the writer's queue.
  std::mutex corvane_;
  // Declared last: stopped before the logs it writes to are destroyed.
  std::unique_ptr<TStringParserThread> writer_;
};

}  // namespace talvero
