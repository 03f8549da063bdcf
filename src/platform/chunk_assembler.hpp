#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// Groups bytes from the serial line into chunks: a chunk ends once the input
// has been quiet for about ten character times at 9600 baud, or as soon as
// kChunkLimit bytes are waiting; a lone ACK or NAK byte that arrives while
// nothing waits is a chunk at once. One answer of the monitoring software, and
// any burst that arrives together, is one chunk. The caller supplies the time.
class ChunkAssembler {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  static constexpr std::chrono::milliseconds kQuietSpan{10};
  static constexpr size_t kChunkLimit = 3072;
  static constexpr char kAnswerAck = '\x06';
  static constexpr char kAnswerNak = '\x15';

  // Takes bytes that arrived at now; gives the chunks that reached the limit.
  std::vector<std::string> Add(std::string_view bytes, TimePoint now);
  // The moment the waiting bytes become a chunk if nothing more arrives.
  std::optional<TimePoint> QuietDue() const;
  // The waiting bytes, once the input has been quiet long enough at now.
  std::optional<std::string> TakeIfQuiet(TimePoint now);
  // Every waiting byte at once (the line is going away).
  std::string TakeAll();
  bool Empty() const { return waiting_.empty(); }

 private:
  std::string waiting_;
  TimePoint lastInput_{};
};

}  // namespace talvero
