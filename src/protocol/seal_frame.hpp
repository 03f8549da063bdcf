#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/logger.hpp"

namespace talvero {

// Makes a frame the system built for a unit (header and payload, no checksum)
// ready to send. When the unit's last frame was encrypted (encrByUnit not 0):
// byte 1 := 1, the unit's next frame number goes into bytes 2..3 (high byte
// first) and bytes 4..end are encrypted with it as vector. Then the checksum is
// appended. Gives an empty frame, with the counter left as it was, when the
// encryption fails (reported under "Encryption"); throws std::length_error for
// an encrypted frame shorter than 4 bytes.
std::string SealFrame(std::string frame, uint8_t encrByUnit, uint16_t& frameIDByUnit,
                      std::string_view keyText, Logger& log);

}  // namespace talvero
