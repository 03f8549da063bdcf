#pragma once

#include <string>
#include <string_view>

#include "base/logger.hpp"

namespace talvero {

// The protocol code reports its failures through a Logger; the tools have no
// log files, so they keep the last failure to show it with their own error.
class CapturingLogger final : public Logger {
 public:
  void LogAllMsg(std::string_view) override {}
  void LogImpMsg(std::string_view) override {}
  void LogErr(std::string_view procName, std::string_view failure) override {
    lastFailure_ = std::string(procName) + ": " + std::string(failure);
  }
  void LogErrorText(std::string_view text) override { lastFailure_ = std::string(text); }

  const std::string& LastFailure() const { return lastFailure_; }

 private:
  std::string lastFailure_;
};

}  // namespace talvero
