#include "common/time_text.hpp"

#include <fmt/format.h>

namespace talvero {

std::string MomentText(TDateTime moment) {
  return fmt::format("{}.{:03d}", DateTimeText(moment), DecodeDateTime(moment).millisecond);
}

}  // namespace talvero
