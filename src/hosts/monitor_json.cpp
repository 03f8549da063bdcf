#include "hosts/monitor_json.hpp"

#include <string_view>

#include "hosts/help_files.hpp"

namespace talvero {
namespace {

using nlohmann::json;

std::string_view KindName(CommandStep::Kind kind) {
  switch (kind) {
    case CommandStep::Kind::Nothing:
      return "nothing";
    case CommandStep::Kind::Refused:
      return "refused";
    case CommandStep::Kind::Failed:
      return "failed";
    case CommandStep::Kind::AskUnitNr:
      return "askUnitNr";
    case CommandStep::Kind::AskPassword:
      return "askPassword";
    case CommandStep::Kind::Confirm:
      return "confirm";
    case CommandStep::Kind::Queued:
      return "queued";
    case CommandStep::Kind::Sent:
      return "sent";
    case CommandStep::Kind::Deleted:
      return "deleted";
  }
  return "nothing";
}

json ActionJson(const MenuAction& action) {
  if (const auto* named = std::get_if<NamedCommand>(&action)) {
    return {{"named", named->Name}};
  }
  if (const auto* custom = std::get_if<CustomCommand>(&action)) {
    return {{"custom", custom->LineIndex}};
  }
  return {{"delete", true}};
}

}  // namespace

json ToJson(const GridRow& row) {
  return {
      {"unit", row.unit},
      {"unitText", row.unitText},
      {"account", row.account},
      {"transport", row.transport},
      {"ip", row.ip},
      {"port", row.port},
      {"lastTestTime", row.lastTestTime},
      {"noTestTime", row.noTestTime},
      {"firstMsgTime", row.firstMsgTime},
      {"imei", row.imei},
      {"fwVer", row.fwVer},
      {"gsmIcon", row.gsmIcon},
      {"commTr", row.commTr},
      {"cmdCount", row.cmdCount},
      {"top", row.colours.top},
      {"bottom", row.colours.bottom},
      {"selectedText", row.colours.selectedText},
  };
}

json ToJson(const std::vector<MenuEntry>& menu) {
  json entries = json::array();
  for (const MenuEntry& entry : menu) {
    json item = {{"caption", entry.caption}};
    if (entry.caption.empty()) {
      item = {{"separator", true}};
    } else if (entry.action) {
      item["action"] = ActionJson(*entry.action);
      item["password"] = entry.needsAdminPassword;
    } else {
      item["submenu"] = ToJson(entry.submenu);
    }
    entries.push_back(std::move(item));
  }
  return entries;
}

json ToJson(const CommandStep& step, int64_t dialog, bool playSounds) {
  json out = {{"kind", KindName(step.kind)}};
  if (step.sound != kNoSound && playSounds) {
    out["sound"] = step.sound;
  }
  if (!step.boxText.empty()) {
    out["box"] = step.boxText;
  }
  if (step.kind == CommandStep::Kind::AskUnitNr) {
    out["input"] = {{"caption", step.input.Caption},
                    {"prompt", step.input.Prompt},
                    {"preset", step.input.Preset}};
  }
  if (step.kind == CommandStep::Kind::Queued) {
    out["cmdCount"] = step.cmdCount;
  }
  if (step.kind == CommandStep::Kind::Sent) {
    out["logLine"] = step.logLine;
    out["showAllMsg"] = step.showAllMsgTab;
  }
  if (dialog != 0) {
    out["dialog"] = dialog;
  }
  return out;
}

json SettingsJson(const ShownSettings& shown, const std::vector<std::string>& ports) {
  json rows = json::array();
  for (size_t i = 0; i < kSettingsGridRowCount; ++i) {
    const SettingsGridRow& row = kSettingsGridRows[i];
    rows.push_back({{"caption", row.caption},
                    {"hint", row.hint},
                    {"unit", row.unit},
                    {"value", shown.values[i]},
                    {"choice", row.key == SettingKey::SerialPort}});
  }
  return {{"rows", std::move(rows)},
          {"playSounds", shown.playSounds},
          {"systemTray", shown.systemTray},
          {"serialPorts", ports}};
}

json ColumnsJson() {
  json columns = json::array();
  for (const GridColumn& column : kGridColumns) {
    columns.push_back({{"caption", column.caption}, {"width", column.width}});
  }
  return columns;
}

std::optional<MenuAction> MenuActionOfJson(const json& action) {
  if (!action.is_object() || action.size() != 1) {
    return std::nullopt;
  }
  if (const auto named = action.find("named"); named != action.end() && named->is_string()) {
    return NamedCommand{named->get<std::string>()};
  }
  if (const auto custom = action.find("custom");
      custom != action.end() && custom->is_number_unsigned()) {
    return CustomCommand{custom->get<size_t>()};
  }
  if (const auto remove = action.find("delete"); remove != action.end() && *remove == true) {
    return DeleteCommand{};
  }
  return std::nullopt;
}

json WithReq(json message, const json& request) {
  if (const auto id = request.find("id"); id != request.end() && id->is_number_integer()) {
    message["id"] = *id;
  }
  return message;
}

std::optional<json> HelpAnswer(std::string_view caption) {
  const std::optional<HelpLanguage> language = HelpLanguageOfCaption(caption);
  if (!language) {
    return std::nullopt;
  }
  const HelpChoice choice = ChooseHelp(*language);
  json reply = {{"type", "help"}};
  if (choice.file) {
    reply["url"] = "/help/" + std::string(caption);
  } else {
    reply["message"] = choice.message;
  }
  return reply;
}

}  // namespace talvero
