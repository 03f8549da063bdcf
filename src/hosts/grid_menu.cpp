#include "hosts/grid_menu.hpp"

#include <fmt/format.h>

#include "engine/partition_command.hpp"

namespace talvero {
namespace {

MenuEntry Command(std::string caption, std::string name) {
  const bool guarded = NeedsAdminPassword(name);
  return {std::move(caption), NamedCommand{std::move(name)}, guarded, {}};
}

MenuEntry Submenu(std::string caption, std::vector<MenuEntry> entries) {
  return {std::move(caption), std::nullopt, false, std::move(entries)};
}

MenuEntry Separator() {
  return {};
}

}  // namespace

bool NeedsAdminPassword(std::string_view commandName) {
  if (commandName == "Reset Device") {
    return true;
  }
  return PartitionCommandOfName(commandName).has_value();
}

std::vector<MenuEntry> GridMenu(const CustomCommands& custom) {
  std::vector<MenuEntry> partitions;
  for (const auto& [caption, name] :
       {std::pair{"Disarm", kDisarmCommandPrefix}, std::pair{"Arm", kArmCommandPrefix}}) {
    for (int part = 1; part <= 4; ++part) {
      partitions.push_back(
          Command(fmt::format("{} [Part {}]", caption, part), fmt::format("{}{}", name, part)));
    }
  }
  std::vector<MenuEntry> menu{
      Command("Get Ping", "Get Ping"),
      Command("Get Automatic Test", "Get Automatic Test"),
      Command("Get GSM Level", "Get GSM Level"),
      Command("Set Date/Time", "Set Time"),
      Command("Reset Device", "Reset Device"),
      Separator(),
      Submenu("Disarm/Arm", std::move(partitions)),
      Submenu("Important cmd", {Command("Change Unit ID", "Change UnitID"),
                                Command("Clear Storage", "Clear Storage")}),
  };
  if (custom.HasSubmenu()) {
    std::vector<MenuEntry> items;
    for (const CustomMenuItem& item : custom.MenuItems()) {
      items.push_back({item.Caption, CustomCommand{item.LineIndex}, false, {}});
    }
    menu.push_back(Submenu("Custom Cmd", std::move(items)));
  }
  menu.push_back(Separator());
  menu.push_back({"Delete", DeleteCommand{}, false, {}});
  return menu;
}

}  // namespace talvero
