#include "config/read_settings.hpp"

#include <array>
#include <string>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "base/trim.hpp"
#include "config/save_settings.hpp"
#include "config/setting_value.hpp"
#include "config/settings_lines.hpp"

namespace talvero {
namespace {

bool FlagIsOn(const std::array<std::string, kSettingKeyCount>& values, SettingKey key) {
  const SettingDef& def = SettingDefOf(key);
  return ValidateSetting(def, TrimText(values[static_cast<size_t>(key)])).number == 1;
}

}  // namespace

std::optional<SettingsRead> ReadSettings(SettingsEditor& editor,
                                         const std::filesystem::path& path) {
  std::optional<SettingsRead> read;
  Guarded(editor.Log(), "ReadSettings", [&] {
    if (!std::filesystem::exists(path)) {
      return;
    }
    const std::string text = ReadWholeFile(path);
    const auto values = FindSettingValues(SplitLines(text));
    SettingsRead result;
    for (size_t r = 0; r < kSettingsGridRowCount; ++r) {
      const SettingKey key = kSettingsGridRows[r].key;
      result.shown.values[r] =
          editor.CheckSetValue(static_cast<int>(key), values[static_cast<size_t>(key)]).text;
    }
    result.shown.systemTray = FlagIsOn(values, SettingKey::SystemTray);
    result.shown.playSounds = FlagIsOn(values, SettingKey::PlaySounds);
    result.autoStartUp = FlagIsOn(values, SettingKey::AutoStartUp);
    if (editor.Host() == HostKind::Desktop) {
      SaveSettings(path, result.shown, editor.Log());
    }
    read = std::move(result);
  });
  return read;
}

}  // namespace talvero
