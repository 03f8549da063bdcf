#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>
#include <vector>

#include "config/settings_grid.hpp"
#include "engine/command_step.hpp"
#include "hosts/grid_menu.hpp"
#include "hosts/grid_rows.hpp"

namespace talvero {

// The monitor's data as the page reads it.
nlohmann::json ToJson(const GridRow& row);
nlohmann::json ToJson(const std::vector<MenuEntry>& menu);
// A step of a command, without its pending command (which stays here);
// dialog is the number the page answers the dialog with, 0 for none.
nlohmann::json ToJson(const CommandStep& step, int64_t dialog, bool playSounds);
nlohmann::json SettingsJson(const ShownSettings& shown, const std::vector<std::string>& ports);
nlohmann::json ColumnsJson();

// {"named": "Get Ping"}, {"custom": 3} or {"delete": true}; nothing for any
// other shape.
std::optional<MenuAction> MenuActionOfJson(const nlohmann::json& action);

// The answer carries the request's "id", when it had a whole number there.
nlohmann::json WithReq(nlohmann::json message, const nlohmann::json& request);
// What the help chooser's button of this caption does: {"url": ...} for the
// file, {"message": "Help file is missing."} without it; nothing for another caption.
std::optional<nlohmann::json> HelpAnswer(std::string_view caption);

}  // namespace talvero
