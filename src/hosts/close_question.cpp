#include "hosts/close_question.hpp"

#include <fmt/format.h>

namespace talvero {

std::string CloseQuestion(const StationQueue& queue) {
  const size_t unsent = UnsentLineCount(queue);
  if (unsent == 0) {
    return "Close application?";
  }
  return fmt::format(
      "There are {} unsent messages in Internal Buffer.\r\nIf you close this application, "
      "unsent messages will be lost.\r\nDo you still want to close the application?",
      unsent);
}

}  // namespace talvero
