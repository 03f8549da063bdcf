#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/logger.hpp"
#include "engine/command_step.hpp"
#include "engine/settings.hpp"
#include "engine/unit_commands.hpp"
#include "engine/unit_database.hpp"
#include "hosts/admin_password.hpp"
#include "log/host_observer.hpp"

namespace talvero {

// The operator's side of the grid's context menu, as plain calls: a screen
// shows the step each call returns and hands the operator's answer to a dialog
// back with the step's pending command. The protected commands ask for the
// admin password first, "Delete" asks for confirmation.
class OperatorCommands {
 public:
  OperatorCommands(UnitCommands& commands, UnitDatabase& database, UnitTables& tables,
                   const Settings& settings, const AdminPasswordFile& password,
                   HostObserver& observer);

  // A menu item chosen for the unit of the grid's current row.
  CommandStep Start(const MenuAction& action, int64_t unit, bool ctrlHeld) noexcept;

  // The admin password prompt: OK with the entry, or Cancel (nothing). A wrong
  // entry gives "Incorrect password." and the prompt again, without limit.
  CommandStep AnswerPassword(const PendingCommand& pending, std::optional<std::string_view> entry,
                             bool ctrlHeld) noexcept;
  // The "Change UnitID" input box: OK with the text, or Cancel (nothing).
  CommandStep AnswerUnitNr(const PendingCommand& pending, std::optional<std::string_view> answer,
                           bool ctrlHeld) noexcept;
  // The "Delete" question: Yes or No.
  CommandStep AnswerConfirm(const PendingCommand& pending, bool yes) noexcept;

 private:
  CommandStep StartNamed(const NamedCommand& command, int64_t unit, bool ctrlHeld);
  CommandStep AskDelete(int64_t unit) const;

  UnitCommands& commands_;
  UnitDatabase& database_;
  UnitTables& tables_;
  const Settings& settings_;
  const AdminPasswordFile& password_;
  HostObserver& observer_;
};

}  // namespace talvero
