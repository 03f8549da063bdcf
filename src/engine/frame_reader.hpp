#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace talvero {

// Reads the fields of a frame; a field beyond its end throws instead of being
// read, so no frame can make the engine read outside it.
class FrameReader {
 public:
  explicit FrameReader(std::string_view frame) : frame_(frame) {}

  uint8_t Byte(size_t offset) const {
    Require(offset, 1);
    return static_cast<uint8_t>(frame_[offset]);
  }

  std::string Text(size_t offset, size_t count) const {
    Require(offset, count);
    return std::string(frame_.substr(offset, count));
  }

  size_t Size() const { return frame_.size(); }

 private:
  void Require(size_t offset, size_t count) const {
    if (offset > frame_.size() || frame_.size() - offset < count) {
      throw std::out_of_range(fmt::format("bytes {}..{} lie beyond the {}-byte frame", offset,
                                          offset + count - 1, frame_.size()));
    }
  }

  std::string_view frame_;
};

}  // namespace talvero
