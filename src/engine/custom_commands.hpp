#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/logger.hpp"

namespace talvero {

inline constexpr std::string_view kCustomCommandsFileName = "Talvero_cc.ini";

// One line of the custom-commands file read as a command: a caption, "=", and
// a payload given as "0x" and hexadecimal digits, as text in a pair of quotes,
// or as plain text.
struct CustomCommandLine {
  bool Valid = false;
  std::string Caption;  // trimmed
  std::string Payload;  // the bytes sent after the command header
};

CustomCommandLine Parse_SLcc_Line(std::string_view line);

// An item of the "Custom Cmd" submenu: a valid line's caption and its index
// among all the lines of the file, blank and invalid ones included.
struct CustomMenuItem {
  std::string Caption;
  size_t LineIndex = 0;
};

// The custom commands of the desktop host, read once at its start.
class CustomCommands {
 public:
  // Reads the file; every invalid line is reported with LogImpMsg. A missing
  // file gives no lines and no submenu; one that cannot be read is reported
  // under "AppendCustomCmdToPopupMenu".
  void AppendCustomCmdToPopupMenu(const std::filesystem::path& path, Logger& log);

  // True when the file had at least one line, valid or not: the grid's menu
  // then shows "Custom Cmd", empty when no line is valid.
  bool HasSubmenu() const { return !lines_.empty(); }
  const std::vector<CustomMenuItem>& MenuItems() const { return items_; }
  // The line of that index parsed again; not valid for an index past the end.
  CustomCommandLine Line(size_t index) const;

 private:
  std::vector<std::string> lines_;
  std::vector<CustomMenuItem> items_;
};

}  // namespace talvero
