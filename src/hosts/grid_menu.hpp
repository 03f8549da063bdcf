#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/command_step.hpp"
#include "engine/custom_commands.hpp"

namespace talvero {

// One entry of the Test Time Monitor grid's context menu: a command, a submenu
// (no action, entries below it) or a separator (no caption).
struct MenuEntry {
  std::string caption;
  std::optional<MenuAction> action;
  bool needsAdminPassword = false;
  std::vector<MenuEntry> submenu;
};

// The menu in the order the operator sees it; "Custom Cmd" after "Important
// cmd" only when the custom-commands file had lines.
std::vector<MenuEntry> GridMenu(const CustomCommands& custom);

// "Reset Device", "Do Open1".."Do Open4", "Do Close1".."Do Close4".
bool NeedsAdminPassword(std::string_view commandName);

}  // namespace talvero
