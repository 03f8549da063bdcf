#pragma once

#include <filesystem>

#include "base/logger.hpp"

namespace talvero {

// Start-up, before ReadSettings: creates a missing settings file with the
// built-in values, and brings a file of 7 bare values, or of 11 or 13 lines, up
// to the fourteen keys. A file of any other layout stays as it is. Returns
// false after a failure, which is reported.
bool RewriteSettingsFile_Old2New(const std::filesystem::path& path, Logger& log);

}  // namespace talvero
