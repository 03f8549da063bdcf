#pragma once

#include <string_view>

namespace talvero {

// Where the station link keeps its waiting lines (heartbeats aside) so that
// they outlive the process. The calls follow the queue: a line added at the
// tail, the oldest line removed, every line dropped.
class LineJournal {
 public:
  virtual ~LineJournal() = default;
  // Whether the line is kept; false when it could not be written (reported).
  virtual bool Added(std::string_view line) = 0;
  virtual void Removed() = 0;
  virtual void Cleared() = 0;
};

}  // namespace talvero
