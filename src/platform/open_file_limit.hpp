#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <optional>

namespace talvero {

struct OpenFileLimit {
  uint64_t soft = 0;
  uint64_t hard = 0;
};

// Raises the soft limit on open files to the hard limit, so thousands of
// connections can be open at once. Gives the limits in force afterwards (the
// old ones where raising is refused, a container's rules say); nothing when
// they cannot be read, with errno telling why. In the header, so that programs
// built without the platform library use it too.
inline std::optional<OpenFileLimit> RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return std::nullopt;
  }
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
      limit = raised;
    }
  }
  return OpenFileLimit{static_cast<uint64_t>(limit.rlim_cur),
                       static_cast<uint64_t>(limit.rlim_max)};
}

}  // namespace talvero
