#include "config/settings_lines.hpp"

#include <cstddef>

namespace talvero {
namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::array<std::string, kSettingKeyCount> FindSettingValues(
    const std::vector<std::string_view>& lines) {
  std::array<std::string, kSettingKeyCount> values;
  std::array<bool, kSettingKeyCount> found{};
  for (const std::string_view line : lines) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      continue;
    }
    const std::string_view name = line.substr(0, equals);
    for (size_t k = 0; k < kSettingKeyCount; ++k) {
      if (!found[k] && SameKey(name, kSettingTable[k].name)) {
        found[k] = true;
        values[k] = line.substr(equals + 1);
        break;
      }
    }
  }
  return values;
}

std::string SettingLine(SettingKey key, std::string_view value) {
  std::string line(SettingDefOf(key).name);
  line += '=';
  line += value;
  return line;
}

std::vector<std::string> DefaultSettingsLines() {
  std::vector<std::string> lines;
  for (size_t k = 0; k < kSettingKeyCount; ++k) {
    lines.push_back(SettingLine(static_cast<SettingKey>(k), kSettingTable[k].builtIn));
  }
  return lines;
}

}  // namespace talvero
