#pragma once

#include <string>

#include "base/date_time.hpp"
#include "support/bytes.hpp"
#include "support/virtual_time.hpp"

namespace talvero::testing {

// The moment frames are built and answered at in the protocol and tool tests,
// and its six time bytes.
inline const TDateTime kNow = At(2024, 3, 5, 14, 7, 9);
inline const std::string kNowBytes = Bytes({0x18, 0x03, 0x05, 0x0E, 0x07, 0x09});

}  // namespace talvero::testing
