#include "platform/chunk_assembler.hpp"

#include <algorithm>

namespace talvero {

std::vector<std::string> ChunkAssembler::Add(std::string_view bytes, TimePoint now) {
  std::vector<std::string> full;
  if (bytes.empty()) {
    return full;
  }
  lastInput_ = now;
  // A lone answer byte of the monitoring software is a whole answer: handing it
  // on at once lets the next line follow as fast as the wire allows.
  if (waiting_.empty() && bytes.size() == 1 && (bytes[0] == kAnswerAck || bytes[0] == kAnswerNak)) {
    full.emplace_back(bytes);
    return full;
  }
  while (!bytes.empty()) {
    const size_t room = kChunkLimit - waiting_.size();
    const size_t taken = std::min(room, bytes.size());
    waiting_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (waiting_.size() == kChunkLimit) {
      full.push_back(std::move(waiting_));
      waiting_.clear();
    }
  }
  return full;
}

std::optional<ChunkAssembler::TimePoint> ChunkAssembler::QuietDue() const {
  if (waiting_.empty()) {
    return std::nullopt;
  }
  return lastInput_ + kQuietSpan;
}

std::optional<std::string> ChunkAssembler::TakeIfQuiet(TimePoint now) {
  const auto due = QuietDue();
  if (!due || now < *due) {
    return std::nullopt;
  }
  return TakeAll();
}

std::string ChunkAssembler::TakeAll() {
  std::string chunk = std::move(waiting_);
  waiting_.clear();
  return chunk;
}

}  // namespace talvero
