#include "config/save_settings.hpp"

#include <fmt/format.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "base/trim.hpp"
#include "config/setting_value.hpp"
#include "config/settings_lines.hpp"

namespace talvero {
namespace {

// A line break inside a value would turn into a line of its own in the file.
std::string_view SavableValue(const SettingsGridRow& row, std::string_view value) {
  const std::string_view trimmed = TrimText(value);
  if (trimmed.find_first_of("\r\n") != std::string_view::npos) {
    throw std::invalid_argument(
        fmt::format("the value of {} holds a line break", SettingDefOf(row.key).name));
  }
  return trimmed;
}

}  // namespace

bool SaveSettings(const std::filesystem::path& path, const ShownSettings& shown, Logger& log) {
  return Guarded(log, "SaveSettings", [&] {
    std::vector<std::string> lines;
    for (size_t r = 0; r < kSettingsGridRowCount; ++r) {
      const SettingsGridRow& row = kSettingsGridRows[r];
      if (row.key == SettingKey::ReceiverNumber) {
        lines.push_back(SettingLine(SettingKey::AutoStartUp, "0"));
        lines.push_back(SettingLine(SettingKey::SystemTray, shown.systemTray ? "1" : "0"));
        lines.push_back(SettingLine(SettingKey::PlaySounds, shown.playSounds ? "1" : "0"));
      }
      lines.push_back(SettingLine(row.key, SavableValue(row, shown.values[r])));
    }
    ReplaceFileWithLines(path, lines);
  });
}

}  // namespace talvero
