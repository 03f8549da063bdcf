#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace talvero {

// What a log tab shows: the lines of its channel since start-up, or since it
// was last cleared. The log files keep every line; a view keeps at most
// kMaxLines, the oldest going first, so a busy receiver that is watched for
// days never grows without bound.
class LogView {
 public:
  static constexpr size_t kMaxLines = 20000;
  // The "All Msg" view is emptied at its 5-minute tick above this many lines.
  static constexpr size_t kAutoClearAbove = 1000;
  static constexpr std::string_view kClearedLine = " Automatically cleared ..\r\n";

  // A line of the channel; blankBefore puts the empty line of a separated
  // message in front of it.
  void Append(std::string_view line, bool blankBefore);
  // The 5-minute tick: true when the view held more than 1000 lines and now
  // holds only the cleared line.
  bool AutoClear();

  const std::deque<std::string>& Lines() const { return lines_; }
  // Counts every line ever appended or put in by a clearing, so a page can ask
  // for what came after the last line it has.
  size_t EndIndex() const { return dropped_ + lines_.size(); }
  size_t FirstIndex() const { return dropped_; }

 private:
  void Push(std::string line);

  std::deque<std::string> lines_;
  size_t dropped_ = 0;
};

}  // namespace talvero
