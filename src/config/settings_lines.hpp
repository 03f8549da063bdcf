#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/setting_table.hpp"

namespace talvero {

inline constexpr std::string_view kSettingsFileName = "Talvero.ini";

// The value of every key, in SettingKey order: the rest after the first "=" of
// the first line whose text before that "=" is the key in any letter case;
// empty for a key without a line.
std::array<std::string, kSettingKeyCount> FindSettingValues(
    const std::vector<std::string_view>& lines);

// "key=value".
std::string SettingLine(SettingKey key, std::string_view value);

// The fourteen lines of a new file, with the built-in values.
std::vector<std::string> DefaultSettingsLines();

}  // namespace talvero
