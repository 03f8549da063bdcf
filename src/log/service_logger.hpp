#pragma once

#include <string>

#include "log/host_logger.hpp"

namespace talvero {

// The service host's logs under Log_Service/: every line is written on the
// calling thread, at once or (DeferWrites) at the end of the loop turn; no
// views, no sounds.
class ServiceLogger final : public HostLogger {
 public:
  explicit ServiceLogger(const Clock& clock);

  // A failed write is reported to "Errors" with its text; the message is lost.
  void LogAllMsg(std::string_view message) override;
  // A failed "Imp_msg" write is raised, and the message does not reach "All msg".
  void LogImpMsg(std::string_view message) override;
  // A report the "Errors" log cannot take goes to standard error, then the
  // failure is raised.
  void LogErr(std::string_view procName, std::string_view failure) override;
  void DeferWrites(std::function<void()> request) override;
  void FlushWrites() override;

 private:
  std::string lastOnStandardError_;
};

}  // namespace talvero
