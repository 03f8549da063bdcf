#pragma once

#include <string>
#include <string_view>

namespace talvero {

// A CmdBuffer entry: the command's name, "=", and the complete frame as it will
// be sent. Names never hold "=", frames may.
inline std::string MakeCmdEntry(std::string_view name, std::string_view frame) {
  std::string entry(name);
  entry.push_back('=');
  entry.append(frame);
  return entry;
}

// The text before the first "="; the whole entry when it has none.
inline std::string_view CmdEntryName(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

// The text after the first "="; empty when the entry has none.
inline std::string_view CmdEntryFrame(std::string_view entry) {
  const size_t equals = entry.find('=');
  return equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1);
}

}  // namespace talvero
