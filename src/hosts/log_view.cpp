#include "hosts/log_view.hpp"

namespace talvero {

void LogView::Append(std::string_view line, bool blankBefore) {
  if (blankBefore) {
    Push({});
  }
  Push(std::string(line));
}

bool LogView::AutoClear() {
  if (lines_.size() <= kAutoClearAbove) {
    return false;
  }
  dropped_ += lines_.size();
  lines_.clear();
  Push(std::string(kClearedLine));
  return true;
}

void LogView::Push(std::string line) {
  if (lines_.size() == kMaxLines) {
    lines_.pop_front();
    ++dropped_;
  }
  lines_.push_back(std::move(line));
}

}  // namespace talvero
