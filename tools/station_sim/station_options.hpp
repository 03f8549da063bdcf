#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvero {

enum class StationAnswer { Ack, Nak, None };

struct StationOptions {
  bool help = false;
  std::optional<std::string> device;  // none: create a pseudo-terminal
  std::optional<std::string> link;    // a symbolic link to the pseudo-terminal
  // Listen on this host and port for the receiver's TCP station output instead.
  std::optional<std::pair<std::string, uint16_t>> listen;
  StationAnswer answer = StationAnswer::Ack;
  double delaySeconds = 0;
  std::optional<int> baud;        // wait the wire time of each line at this speed
  double heartbeatSeconds = 0;    // 0: no heartbeat of its own
  std::optional<uint64_t> count;  // stop after this many new event lines
  std::optional<double> durationSeconds;
  bool quiet = false;
  bool json = false;
};

// Reads the arguments after the program name. Throws UsageError for anything
// it refuses.
StationOptions ParseStationArgs(const std::vector<std::string>& args);

std::string_view StationUsage();

}  // namespace talvero
