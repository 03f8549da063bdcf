#pragma once

#include <optional>
#include <string_view>

namespace talvero {

// "Do Open1".."Do Open4" disarm and "Do Close1".."Do Close4" arm one of the
// unit's partitions.
struct PartitionCommand {
  bool arm = false;
  int partition = 1;  // 1..4
};

inline constexpr std::string_view kDisarmCommandPrefix = "Do Open";
inline constexpr std::string_view kArmCommandPrefix = "Do Close";

// Nothing for any other command name.
inline std::optional<PartitionCommand> PartitionCommandOfName(std::string_view name) {
  for (const std::string_view prefix : {kDisarmCommandPrefix, kArmCommandPrefix}) {
    if (name.size() == prefix.size() + 1 && name.starts_with(prefix) && name.back() >= '1' &&
        name.back() <= '4') {
      return PartitionCommand{prefix == kArmCommandPrefix, name.back() - '0'};
    }
  }
  return std::nullopt;
}

}  // namespace talvero
