#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/logger.hpp"

namespace talvero::testing {

// Records every log call in order, for tests that check what was reported.
class RecordingLogger final : public Logger {
 public:
  enum class Kind { All, Imp, Err, ErrorText };
  struct Entry {
    Kind kind;
    std::string text;  // the message; for Err "procName|failure"
    bool operator==(const Entry&) const = default;
  };

  void LogAllMsg(std::string_view message) override {
    entries.push_back({Kind::All, std::string(message)});
  }
  void LogImpMsg(std::string_view message) override {
    if (failImpMsg) {
      throw std::runtime_error("Imp_msg.log: No space left on device");
    }
    entries.push_back({Kind::Imp, std::string(message)});
  }
  void LogErr(std::string_view procName, std::string_view failure) override {
    entries.push_back({Kind::Err, std::string(procName) + "|" + std::string(failure)});
  }
  void LogErrorText(std::string_view text) override {
    entries.push_back({Kind::ErrorText, std::string(text)});
  }

  // The texts of one kind, in order.
  std::vector<std::string> Texts(Kind kind) const;
  // True when some entry of this kind contains the text.
  bool Has(Kind kind, std::string_view text) const;
  // The names of the operations reported with LogErr, in order.
  std::vector<std::string> ErrNames() const;
  void Clear() { entries.clear(); }

  std::vector<Entry> entries;
  bool failImpMsg = false;  // LogImpMsg throws, as a full disk makes it
};

}  // namespace talvero::testing
