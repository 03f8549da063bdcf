#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "base/logger.hpp"

namespace talvero {

// The web server's log in a process whose engine comes later (the console):
// standard error until a target is set, then the target's logs.
class ForwardingLogger final : public Logger {
 public:
  void SetTarget(Logger* target) { target_ = target; }

  void LogAllMsg(std::string_view message) override {
    target_ ? target_->LogAllMsg(message) : Print(message);
  }
  void LogImpMsg(std::string_view message) override {
    target_ ? target_->LogImpMsg(message) : Print(message);
  }
  void LogErr(std::string_view procName, std::string_view failure) override {
    target_ ? target_->LogErr(procName, failure)
            : Print(std::string(procName) + ": " + std::string(failure));
  }
  void LogErrorText(std::string_view text) override {
    target_ ? target_->LogErrorText(text) : Print(text);
  }

 private:
  static void Print(std::string_view text) {
    // A separated message begins with NUL, which a terminal does not need.
    if (!text.empty() && text.front() == '\0') {
      text.remove_prefix(1);
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }

  Logger* target_ = nullptr;
};

}  // namespace talvero
