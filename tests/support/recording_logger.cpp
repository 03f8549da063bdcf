#include "support/recording_logger.hpp"

namespace talvero::testing {

std::vector<std::string> RecordingLogger::Texts(Kind kind) const {
  std::vector<std::string> texts;
  for (const auto& e : entries) {
    if (e.kind == kind) {
      texts.push_back(e.text);
    }
  }
  return texts;
}

bool RecordingLogger::Has(Kind kind, std::string_view text) const {
  for (const auto& e : entries) {
    if (e.kind == kind && e.text.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> RecordingLogger::ErrNames() const {
  std::vector<std::string> names;
  for (const auto& e : entries) {
    if (e.kind == Kind::Err) {
      names.push_back(e.text.substr(0, e.text.find('|')));
    }
  }
  return names;
}

}  // namespace talvero::testing
