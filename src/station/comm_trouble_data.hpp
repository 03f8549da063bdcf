#pragma once

#include <filesystem>
#include <vector>

#include "base/logger.hpp"
#include "engine/unit_table.hpp"

namespace talvero {

// The desktop host's per-unit thresholds, relative to the working folder.
inline const std::filesystem::path kCommTrDataPath = "Resources/ctdata.dat";

// Applies the saved thresholds: the "Comm Troubles" layout of "unit:level:value"
// lines, or the older layout of one bare value per level and unit. A missing
// file changes nothing. Throws std::runtime_error when a number cannot be read
// or the file cannot be read; limits then stay as they were.
void LoadCommTrData(const std::filesystem::path& file, std::vector<CommTrLimit>& limits);

// Writes every unit and level whose threshold differs from the defaults. A file
// that cannot be written is reported to the "Errors" log; returns false then.
bool SaveCommTrData(const std::filesystem::path& file, const std::vector<CommTrLimit>& limits,
                    const CommTrLimit& defaults, Logger& log);

}  // namespace talvero
