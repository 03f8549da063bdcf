#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.hpp"
#include "base/logger.hpp"
#include "unit_sim/unit_frame_kind.hpp"

namespace talvero {

inline constexpr size_t kTemperatureEntries = 8;

struct TemperatureEntry {
  uint8_t sensor = 0;
  uint8_t state = 0;
  uint8_t degrees = 0;
};

// The payload fields of the frames a unit sends; each kind uses its own.
struct UnitFrameFields {
  std::string imei = "356000000000001";  // 15 characters
  std::array<uint8_t, 3> firmware{1, 0, 0};
  uint8_t gsmLevel = 5;
  std::optional<TDateTime> time;          // AlarmEvent and Ack; the time now when empty
  std::string account = "1234";           // 4 characters
  std::string event = "1130";             // qualifier and Contact ID code, 4 characters
  std::string group = "01";               // 2 characters
  std::string zone = "001";               // 3 characters
  std::vector<TemperatureEntry> sensors;  // at most 8
  std::string raw;                        // Raw: the bytes as they go out
};

// How a unit frame goes out: plain, or encrypted with this key text.
struct FrameSeal {
  uint16_t unitNr = 1;
  uint16_t frameID = 1;
  std::optional<std::string> keyText;
};

// The complete frame of this kind, checksum included; encrypted (bytes 4 to
// the checksum, FrameID as vector) when seal has a key. Raw bytes go out as
// given. Throws std::invalid_argument for fields of the wrong size and
// std::runtime_error when the encryption fails.
std::string BuildUnitFrame(UnitFrameKind kind, const UnitFrameFields& fields, const FrameSeal& seal,
                           TDateTime now, Logger& log);

// True when the protocol's cipher takes this key text.
bool KeyTextUsable(std::string_view keyText);

}  // namespace talvero
