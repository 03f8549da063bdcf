#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace talvero {

// The buttons of the help chooser.
enum class HelpLanguage { English, Russian };

// "EN" and "RU", the buttons' captions; nothing for any other text.
std::optional<HelpLanguage> HelpLanguageOfCaption(std::string_view caption);

// Below the working folder.
std::filesystem::path HelpFilePath(HelpLanguage language);

// What the chooser does for a button: hand the file to the operator and
// close, or say "Help file is missing." and stay open.
struct HelpChoice {
  std::optional<std::filesystem::path> file;
  std::string message;  // when there is no file
};

// folder stands for the working folder the help paths are relative to.
HelpChoice ChooseHelp(HelpLanguage language, const std::filesystem::path& folder = {});

}  // namespace talvero
