#pragma once

#include "base/date_time.hpp"

namespace talvero {

// The local wall clock. Logic asks this instead of the system, so tests can
// set and advance time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual TDateTime Now() const = 0;
};

}  // namespace talvero
