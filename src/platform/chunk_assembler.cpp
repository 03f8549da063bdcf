#include "platform/chunk_assembler.hpp"

#include <algorithm>

namespace talvero {

namespace {

bool BeginsALine(char first) {
  return first >= 0x20 && first <= 0x7E;
}

}  // namespace

std::vector<std::string> ChunkAssembler::Add(std::string_view bytes, TimePoint now) {
  std::vector<std::string> full;
  if (bytes.empty()) {
    return full;
  }
  lastInput_ = now;
  while (!bytes.empty()) {
    // A lone answer byte of the monitoring software is a whole answer: handing it
    // on at once lets the next line follow as fast as the wire allows.
    if (waiting_.empty() && bytes.size() == 1 &&
        (bytes[0] == kAnswerAck || bytes[0] == kAnswerNak)) {
      full.emplace_back(bytes);
      break;
    }
    const bool line = BeginsALine(waiting_.empty() ? bytes[0] : waiting_[0]);
    size_t taken = std::min(kChunkLimit - waiting_.size(), bytes.size());
    bool ended = false;
    if (line) {
      if (const size_t end = bytes.substr(0, taken).find(kLineEnd); end != std::string_view::npos) {
        taken = end + 1;
        ended = true;
      }
    }
    waiting_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (ended || waiting_.size() == kChunkLimit) {
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
  const auto quiet = kQuietBase + kQuietPerByte * static_cast<int64_t>(waiting_.size());
  return lastInput_ + std::chrono::duration_cast<TimePoint::duration>(quiet);
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
