#pragma once

#include <cstdint>
#include <string>

namespace talvero {

struct FileLimit {
  uint64_t soft = 0;
  uint64_t hard = 0;
};

// Raises the soft limit of open files to the hard limit, so thousands of
// simulated units can each hold a socket. Gives the limits in force
// afterwards; throws std::system_error when they cannot be read.
FileLimit RaiseFileLimit();

}  // namespace talvero
