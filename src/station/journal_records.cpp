#include "station/journal_records.hpp"

#include <fmt/format.h>

#include <cstdint>
#include <deque>
#include <optional>

#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

constexpr size_t kSumDigits = 8;

uint32_t LineSum(std::string_view line) {
  uint32_t sum = 2166136261u;
  for (const char c : line) {
    sum = (sum ^ static_cast<uint8_t>(c)) * 16777619u;
  }
  return sum;
}

std::optional<uint32_t> ReadSum(std::string_view digits) {
  uint32_t sum = 0;
  for (const char c : digits) {
    const uint8_t value = HexDigitValue(c);
    if (value > 15) {
      return std::nullopt;
    }
    sum = sum << 4 | value;
  }
  return sum;
}

// The line of an "A" record (without its LF), or nothing when it is damaged.
std::optional<StationLine> ReadAdded(std::string_view record) {
  if (record.size() < 2 + kSumDigits || record[0] != 'A' || record[1 + kSumDigits] != ' ') {
    return std::nullopt;
  }
  const auto sum = ReadSum(record.substr(1, kSumDigits));
  const std::string_view hex = record.substr(2 + kSumDigits);
  if (!sum || hex.size() % 2 != 0 || hex.starts_with("0x")) {
    return std::nullopt;
  }
  HexBytes line = HexTextToBytes(hex);
  if (line.Error || LineSum(line.Bytes) != *sum) {
    return std::nullopt;
  }
  return std::move(line.Bytes);
}

}  // namespace

std::string AddedRecord(std::string_view line) {
  return fmt::format("A{:08X} {}\n", LineSum(line), StrToHexText(line));
}

JournalContent ReadJournalRecords(std::string_view bytes) {
  JournalContent content;
  std::deque<StationLine> waiting;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    if (end == std::string_view::npos) {
      content.tornBytes = bytes.size();
      break;
    }
    const std::string_view record = bytes.substr(0, end);
    bytes.remove_prefix(end + 1);
    if (record == kRemovedRecord.substr(0, 1) && !waiting.empty()) {
      waiting.pop_front();
    } else if (auto line = ReadAdded(record)) {
      waiting.push_back(std::move(*line));
    } else {
      ++content.damagedRecords;
    }
  }
  content.lines.assign(std::make_move_iterator(waiting.begin()),
                       std::make_move_iterator(waiting.end()));
  return content;
}

}  // namespace talvero
