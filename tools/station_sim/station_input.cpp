#include "station_sim/station_input.hpp"

#include <utility>

#include "station/station_line.hpp"

namespace talvero {

std::vector<StationInput> StationLineSplitter::Feed(std::string_view chunk) {
  std::vector<StationInput> out;
  for (const char c : chunk) {
    if (skipping_) {
      skipping_ = c != kDc4;
      continue;
    }
    if (c == kDc4) {
      out.push_back({StationInput::Kind::Line, std::exchange(partial_, std::string())});
    } else if (c == kAck && partial_.empty()) {
      out.push_back({StationInput::Kind::Ack, {}});
    } else if (partial_.size() == kMaxLineLength) {
      out.push_back({StationInput::Kind::Overlong, std::exchange(partial_, std::string())});
      skipping_ = true;
    } else {
      partial_.push_back(c);
    }
  }
  return out;
}

}  // namespace talvero
