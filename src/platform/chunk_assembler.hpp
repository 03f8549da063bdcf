#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// Groups bytes from the serial line into chunks by what they are, so that one
// answer of the monitoring software is one chunk even when an adapter hands it
// over in pieces:
// - a lone ACK or NAK byte that arrives while nothing waits is a chunk at once;
// - bytes that begin a line (a printable first byte, such as the "1011" of the
//   monitoring software's heartbeat) are a chunk up to and with their DC4;
// - any waiting bytes are a chunk once the input has been quiet for 250 ms plus
//   1.1 ms per waiting byte (a character time at 9600 baud), or as soon as
//   kChunkLimit bytes wait.
// The caller supplies the time.
class ChunkAssembler {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  static constexpr std::chrono::microseconds kQuietBase{250'000};
  static constexpr std::chrono::microseconds kQuietPerByte{1'100};
  static constexpr size_t kChunkLimit = 3072;
  static constexpr char kAnswerAck = '\x06';
  static constexpr char kAnswerNak = '\x15';
  static constexpr char kLineEnd = '\x14';

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
