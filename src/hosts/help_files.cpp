#include "hosts/help_files.hpp"

#include <system_error>

namespace talvero {

std::optional<HelpLanguage> HelpLanguageOfCaption(std::string_view caption) {
  if (caption == "EN") {
    return HelpLanguage::English;
  }
  if (caption == "RU") {
    return HelpLanguage::Russian;
  }
  return std::nullopt;
}

std::filesystem::path HelpFilePath(HelpLanguage language) {
  return language == HelpLanguage::English ? "Resources/corvane.chm" : "Resources/corvane_ru.chm";
}

HelpChoice ChooseHelp(HelpLanguage language, const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / HelpFilePath(language);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return {std::nullopt, "Help file is missing."};
  }
  return {file, {}};
}

}  // namespace talvero
