#include "config/settings_grid_edit.hpp"

#include "config/read_settings.hpp"
#include "config/save_settings.hpp"

namespace talvero {

ShownSettings PostSettingEdit(SettingsEditor& editor, const std::filesystem::path& path,
                              ShownSettings shown, size_t row, std::string_view typed) {
  if (!editor.StartUpCompleted() || row >= kSettingsGridRowCount) {
    return shown;
  }
  shown.values[row] =
      editor.CheckSetValue(static_cast<int>(kSettingsGridRows[row].key), typed).text;
  SaveSettings(path, shown, editor.Log());
  if (auto read = ReadSettings(editor, path)) {
    return read->shown;
  }
  return shown;
}

}  // namespace talvero
