#pragma once

#include <string>

#include "support/virtual_time.hpp"
#include "temp_home.hpp"

namespace talvero::testing {

// A fresh home folder and a clock standing at 2024-03-07 09:05:03, for tests
// that read back what the logs wrote.
struct LogHome {
  TempHome home;
  VirtualTime time{At(2024, 3, 7, 9, 5, 3)};
};

// What every line written at that moment starts with.
inline const std::string kStamp = "2024.03.07 09:05:03 - ";

}  // namespace talvero::testing
