#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unit_sim/unit_frame_kind.hpp"
#include "unit_sim/unit_frames.hpp"

namespace talvero {

enum class UnitTransport { Tcp, Udp };
enum class UnitMode { Help, Send, Load };

// The built-in EncryptionKey of the receiver, used by --encrypt.
inline constexpr std::string_view kBuiltInKeyText = "9873";

struct UnitOptions {
  UnitMode mode = UnitMode::Send;
  bool json = false;

  std::string host = "127.0.0.1";
  uint16_t port = 33665;
  UnitTransport transport = UnitTransport::Tcp;
  double timeoutSeconds = 3;

  UnitFrameKind kind = UnitFrameKind::Ping;  // Send: the frame; Load: Ping or AlarmEvent
  UnitFrameFields fields;
  uint16_t unitNr = 1;   // Load: the first unit
  uint16_t frameID = 1;  // Load: each unit's first FrameID
  std::optional<std::string> keyText;
  double listenSeconds = 0;

  size_t units = 100;
  std::optional<double> rate;  // frames per second over all units; none: as fast as possible
  double durationSeconds = 10;
  bool accountGiven = false;  // Load: without it each unit's account is its unit number
};

// Reads the arguments after the program name. Throws UsageError for anything
// it refuses.
UnitOptions ParseUnitArgs(const std::vector<std::string>& args);

std::string_view UnitUsage();

}  // namespace talvero
