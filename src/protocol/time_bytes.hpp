#pragma once

#include <cstddef>
#include <string>

#include "base/date_time.hpp"

namespace talvero {

inline constexpr size_t kTimeBytesSize = 6;

// Writes the six time bytes of moment at frame[offset]: year - 2000, month, day,
// hour, minute, second. Throws std::out_of_range when the frame has no room.
void PutTimeBytes(std::string& frame, size_t offset, TDateTime moment);

}  // namespace talvero
