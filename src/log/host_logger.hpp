#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "base/clock.hpp"
#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "log/host_observer.hpp"
#include "log/log_channel.hpp"

namespace talvero {

// Channel names, as the host's observer hears them.
inline constexpr std::string_view kAllMsgChannel = "All msg";
inline constexpr std::string_view kImpMsgChannel = "Imp_msg";
inline constexpr std::string_view kErrorsChannel = "Errors";

// The three log channels of a host and its log operations. Each host writes
// them in its own way (ServiceLogger, DesktopLogger); the engine sees a Logger.
class HostLogger : public Logger {
 public:
  ~HostLogger() override = default;

  void LogErrorText(std::string_view text) override { errors_.Add(text); }

  // The first line of every start, written to "All msg" directly.
  void LogApplicationStarted();
  // The last line of every run: stops the writer, if any, so that nothing can
  // follow, then writes "Application closed\r\n" to "All msg" directly.
  void LogApplicationClosed();
  // Desktop host: stops the background writer; lines still queued are lost.
  virtual void StopWriter() {}
  // Service host: "All msg" lines wait for FlushWrites (TLog::DeferWrites),
  // which the host calls at the end of every loop turn. The desktop host
  // writes them on its background writer and ignores this.
  virtual void DeferWrites(std::function<void()> request) { (void)request; }
  // Writes the waiting lines; a failure is reported to "Errors", the lines are lost.
  virtual void FlushWrites() {}

  const TLog& AllMsgLog() const { return allMsg_; }
  const TLog& ImpMsgLog() const { return impMsg_; }
  const TLog& ErrorsLog() const { return errors_; }

 protected:
  // root is the host's log folder under ExeFolder(); creates the folders.
  HostLogger(const Clock& clock, std::string_view root, HostObserver* viewObserver);

  TLog allMsg_;
  TLog impMsg_;
  TLog errors_;
};

// The service host's logger (a ServiceLogger, no views) or the desktop host's
// (a DesktopLogger whose channels and sounds reach the observer).
std::unique_ptr<HostLogger> MakeHostLogger(HostKind kind, const Clock& clock,
                                           HostObserver& observer);

}  // namespace talvero
