#include "station/station_queue.hpp"

#include <fmt/format.h>

namespace talvero {

size_t UnsentLineCount(const StationQueue& queue) {
  if (queue.size() == 1 && IsHeartbeat(queue.front())) {
    return 0;
  }
  return queue.size();
}

std::string UnsentLinesNote(size_t count) {
  return fmt::format(
      "There are {} unsent messages in Internal Buffer.\r\nUnsent messages will be lost.\r\n",
      count);
}

}  // namespace talvero
