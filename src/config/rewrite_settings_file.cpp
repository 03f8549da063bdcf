#include "config/rewrite_settings_file.hpp"

#include <string>
#include <string_view>
#include <vector>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "config/setting_table.hpp"
#include "config/settings_lines.hpp"

namespace talvero {
namespace {

// Layout of 7 bare values for the keys 0..6.
constexpr size_t kBareValueLines = 7;

}  // namespace

bool RewriteSettingsFile_Old2New(const std::filesystem::path& path, Logger& log) {
  return Guarded(log, "RewriteSettingsFile_Old2New", [&] {
    if (!std::filesystem::exists(path)) {
      ReplaceFileWithLines(path, DefaultSettingsLines());
      return;
    }
    const std::string text = ReadWholeFile(path);
    const std::vector<std::string_view> lines = SplitLines(text);
    std::vector<std::string> upgraded;
    if (lines.size() == kBareValueLines && text.find('=') == std::string::npos) {
      for (size_t k = 0; k < kBareValueLines; ++k) {
        upgraded.push_back(SettingLine(static_cast<SettingKey>(k), lines[k]));
      }
    } else if (lines.size() == 11 || lines.size() == 13) {
      upgraded.assign(lines.begin(), lines.end());
    } else {
      return;
    }
    // The keys the old layout lacks, with their built-in values.
    for (size_t k = lines.size(); k < kSettingKeyCount; ++k) {
      upgraded.push_back(SettingLine(static_cast<SettingKey>(k), kSettingTable[k].builtIn));
    }
    ReplaceFileWithLines(path, upgraded);
  });
}

}  // namespace talvero
