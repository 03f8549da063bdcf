#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// One thing the receiver sent the monitoring software.
struct StationInput {
  enum class Kind {
    Line,      // a line, its DC4 removed
    Ack,       // 0x06 between lines: the answer to the station's heartbeat
    Overlong,  // kMaxLineLength bytes without a DC4; the rest up to the next DC4 is skipped
  };
  Kind kind = Kind::Line;
  std::string text;

  bool operator==(const StationInput&) const = default;
};

// Splits the bytes from the serial line into DC4-terminated lines, whatever
// chunks they arrive in. A line keeps its bytes until its DC4 arrives.
class StationLineSplitter {
 public:
  static constexpr size_t kMaxLineLength = 1024;

  std::vector<StationInput> Feed(std::string_view chunk);
  // The bytes of the line begun and not yet ended.
  std::string_view Pending() const { return partial_; }

 private:
  std::string partial_;
  bool skipping_ = false;
};

}  // namespace talvero
