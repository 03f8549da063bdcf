#pragma once

#include <chrono>

#include "base/clock.hpp"

namespace talvero {

// The machine's local time.
class SystemClock final : public Clock {
 public:
  TDateTime Now() const override;
};

// A moment of the system clock as the machine's local date and time.
TDateTime LocalDateTime(std::chrono::system_clock::time_point moment);

}  // namespace talvero
