#pragma once

#include "base/clock.hpp"

namespace talvero {

// The machine's local time.
class SystemClock final : public Clock {
 public:
  TDateTime Now() const override;
};

}  // namespace talvero
