#pragma once

#include <filesystem>

#include "base/logger.hpp"
#include "config/settings_grid.hpp"

namespace talvero {

// Desktop host: writes the settings file from the grid and the check boxes,
// AutoStartUp always 0. Returns false after a failure, which is reported; the
// old file then stays as it was.
bool SaveSettings(const std::filesystem::path& path, const ShownSettings& shown, Logger& log);

}  // namespace talvero
