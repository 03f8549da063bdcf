#include "common/file_limit.hpp"

#include <sys/resource.h>

#include <cerrno>
#include <system_error>

namespace talvero {

FileLimit RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    throw std::system_error(errno, std::generic_category(), "getrlimit");
  }
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    // Refused (a container's rules, say): the units beyond the limit fail to connect and
    // are counted.
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
      limit = raised;
    }
  }
  return {static_cast<uint64_t>(limit.rlim_cur), static_cast<uint64_t>(limit.rlim_max)};
}

}  // namespace talvero
