#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "config/settings_editor.hpp"
#include "config/settings_grid.hpp"

namespace talvero {

// Desktop host: the operator posts a typed value into a row of the settings
// grid. The value is applied at once (its fallback when invalid), the file is
// saved, read back and applied as a whole, and saved again; the result is what
// the grid shows afterwards. Before start-up has completed, and for a row
// outside the grid, the edit is ignored.
ShownSettings PostSettingEdit(SettingsEditor& editor, const std::filesystem::path& path,
                              ShownSettings shown, size_t row, std::string_view typed);

}  // namespace talvero
