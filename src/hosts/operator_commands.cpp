#include "hosts/operator_commands.hpp"

#include <fmt/format.h>

#include <exception>
#include <string>
#include <utility>

#include "hosts/grid_menu.hpp"
#include "protocol/unit_id.hpp"
#include "station/comm_trouble_limits.hpp"

namespace talvero {
namespace {

CommandStep FailedStep(std::string text) {
  CommandStep step;
  step.kind = CommandStep::Kind::Failed;
  step.boxText = std::move(text);
  return step;
}

bool IsRow(const UnitTables& tables, int64_t unit) {
  return unit >= 0 && unit < static_cast<int64_t>(kUnitCount) &&
         tables.UnitTable[static_cast<size_t>(unit)].Active != 0;
}

}  // namespace

OperatorCommands::OperatorCommands(UnitCommands& commands, UnitDatabase& database,
                                   UnitTables& tables, const Settings& settings,
                                   const AdminPasswordFile& password, HostObserver& observer)
    : commands_(commands),
      database_(database),
      tables_(tables),
      settings_(settings),
      password_(password),
      observer_(observer) {}

CommandStep OperatorCommands::Start(const MenuAction& action, int64_t unit,
                                    bool ctrlHeld) noexcept {
  if (const auto* named = std::get_if<NamedCommand>(&action)) {
    return StartNamed(*named, unit, ctrlHeld);
  }
  if (const auto* custom = std::get_if<CustomCommand>(&action)) {
    return commands_.SendCustomCMD(custom->LineIndex, unit, ctrlHeld);
  }
  return AskDelete(unit);
}

CommandStep OperatorCommands::StartNamed(const NamedCommand& command, int64_t unit, bool ctrlHeld) {
  if (!NeedsAdminPassword(command.Name)) {
    return commands_.SendCMD(command.Name, unit, ctrlHeld);
  }
  if (!IsRow(tables_, unit)) {
    return {};
  }
  CommandStep step;
  try {
    // Read once per prompt: a change made meanwhile counts from the next command.
    step.pending = PendingCommand{PendingCommand::Stage::Password, command,
                                  static_cast<uint16_t>(unit), password_.ReadStored()};
  } catch (const std::exception& e) {
    return FailedStep(e.what());
  }
  step.kind = CommandStep::Kind::AskPassword;
  return step;
}

CommandStep OperatorCommands::AnswerPassword(const PendingCommand& pending,
                                             std::optional<std::string_view> entry,
                                             bool ctrlHeld) noexcept {
  const auto* named = std::get_if<NamedCommand>(&pending.action);
  if (!entry || named == nullptr || pending.stage != PendingCommand::Stage::Password) {
    return {};
  }
  if (*entry != pending.storedPassword) {
    CommandStep again;
    again.kind = CommandStep::Kind::AskPassword;
    again.boxText = "Incorrect password.";
    again.pending = pending;
    return again;
  }
  // The command starts now: Ctrl is read as it is at the OK.
  return commands_.SendCMD(named->Name, pending.unit, ctrlHeld);
}

CommandStep OperatorCommands::AnswerUnitNr(const PendingCommand& pending,
                                           std::optional<std::string_view> answer,
                                           bool ctrlHeld) noexcept {
  return commands_.AnswerUnitNr(pending, answer, ctrlHeld);
}

CommandStep OperatorCommands::AskDelete(int64_t unit) const {
  if (!IsRow(tables_, unit)) {
    return {};
  }
  const auto u = static_cast<uint16_t>(unit);
  CommandStep step;
  step.kind = CommandStep::Kind::Confirm;
  step.boxText = fmt::format("Unit [{}] - Really Delete?", UnitText(u));
  step.pending = PendingCommand{PendingCommand::Stage::Confirm, DeleteCommand{}, u, {}};
  return step;
}

CommandStep OperatorCommands::AnswerConfirm(const PendingCommand& pending, bool yes) noexcept {
  if (!yes || pending.stage != PendingCommand::Stage::Confirm ||
      !std::holds_alternative<DeleteCommand>(pending.action) || !IsRow(tables_, pending.unit)) {
    return {};
  }
  try {
    database_.DeleteUnit(pending.unit, CommTrDefaults(settings_));
  } catch (const std::exception& e) {
    // The slot is empty already; its row stays until the filter runs again.
    return FailedStep(e.what());
  }
  observer_.UnitChanged(pending.unit);
  CommandStep step;
  step.kind = CommandStep::Kind::Deleted;
  return step;
}

}  // namespace talvero
