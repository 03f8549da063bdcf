#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/date_time.hpp"
#include "base/logger.hpp"
#include "engine/settings.hpp"
#include "engine/unit_table.hpp"

namespace talvero {

inline constexpr std::string_view kSetTimeCmdName = "Set Time";
inline constexpr uint8_t kSetTimeCmdCode = 42;
inline constexpr size_t kSetTimeCmdLength = 14;

// The bytes of a command frame before its checksum: length zero bytes, the code
// in byte 0, the unit number as nibbles in bytes 4..7. Empty, reported under
// "cmdID_to_cmdss", when the length leaves no room for the header.
std::string cmdID_to_cmdss(size_t length, uint8_t code, uint16_t unit, Logger& log);

// Encrypts a frame for the unit (a command or an answer) with its next frame
// number when the unit encrypts, then appends the checksum. Empty when the
// encryption fails.
std::string SealCommand(std::string frame, uint16_t unit, UnitTables& tables,
                        const Settings& settings, Logger& log);

// "Set Time" for the unit with the time now, before sealing.
std::string SetTimeFrame(uint16_t unit, TDateTime now, Logger& log);

// "Set Time" for the unit with the time now, sealed and ready to send.
std::string SetTimeCommand(uint16_t unit, TDateTime now, UnitTables& tables,
                           const Settings& settings, Logger& log);

}  // namespace talvero
