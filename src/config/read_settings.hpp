#pragma once

#include <filesystem>
#include <optional>

#include "config/settings_editor.hpp"
#include "config/settings_grid.hpp"

namespace talvero {

struct SettingsRead {
  ShownSettings shown;       // the texts to show, and the check boxes as read
  bool autoStartUp = false;  // as read; the start-at-log-on entry it stands for has no
                             // counterpart here, and the file is saved with 0
};

// Start-up in both hosts, and after every grid edit in the desktop host: reads
// the settings file and applies the eleven engine settings in grid order, each
// through CheckSetValue. The desktop host then saves the file from the result;
// the service host never writes it. nullopt when there is no file (nothing is
// applied) or after a failure, which is reported.
std::optional<SettingsRead> ReadSettings(SettingsEditor& editor, const std::filesystem::path& path);

}  // namespace talvero
