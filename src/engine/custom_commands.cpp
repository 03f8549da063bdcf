#include "engine/custom_commands.hpp"

#include <fmt/format.h>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "base/trim.hpp"
#include "protocol/hex_text.hpp"

namespace talvero {
namespace {

// How much of an invalid line its report shows.
constexpr size_t kReportedLineChars = 50;

bool IsQuoted(std::string_view text) {
  return text.size() >= 2 && text.front() == text.back() &&
         (text.front() == '"' || text.front() == '\'');
}

}  // namespace

CustomCommandLine Parse_SLcc_Line(std::string_view line) {
  CustomCommandLine parsed;
  const size_t equals = line.find('=');
  const std::string_view caption = TrimText(line.substr(0, equals));
  std::string_view payload =
      equals == std::string_view::npos ? std::string_view() : TrimText(line.substr(equals + 1));
  if (caption.empty() || payload.empty()) {
    return parsed;
  }
  if (payload.size() >= 2 && payload.starts_with("0x")) {
    HexBytes bytes = HexTextToBytes(payload);
    if (bytes.Error || bytes.Bytes.empty()) {
      return parsed;
    }
    parsed.Payload = std::move(bytes.Bytes);
  } else {
    if (IsQuoted(payload)) {
      payload = payload.substr(1, payload.size() - 2);
    }
    if (payload.empty()) {
      return parsed;
    }
    parsed.Payload = payload;
  }
  parsed.Valid = true;
  parsed.Caption = caption;
  return parsed;
}

void CustomCommands::AppendCustomCmdToPopupMenu(const std::filesystem::path& path, Logger& log) {
  lines_.clear();
  items_.clear();
  Guarded(log, "AppendCustomCmdToPopupMenu", [&] {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      return;
    }
    const std::string text = ReadWholeFile(path);
    for (const std::string_view line : SplitLines(text)) {
      lines_.emplace_back(line);
    }
    for (size_t index = 0; index < lines_.size(); ++index) {
      const CustomCommandLine parsed = Line(index);
      if (parsed.Valid) {
        items_.push_back({parsed.Caption, index});
      } else {
        log.LogImpMsg(fmt::format("!! CustomCmd (Talvero_cc.ini) Invalid Line[{}]: {}", index + 1,
                                  std::string_view(lines_[index]).substr(0, kReportedLineChars)));
      }
    }
  });
}

CustomCommandLine CustomCommands::Line(size_t index) const {
  return index < lines_.size() ? Parse_SLcc_Line(lines_[index]) : CustomCommandLine{};
}

}  // namespace talvero
