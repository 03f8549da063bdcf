#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.hpp"
#include "base/logger.hpp"
#include "engine/command_step.hpp"
#include "engine/custom_commands.hpp"
#include "engine/frame_processor.hpp"
#include "engine/settings.hpp"
#include "engine/unit_table.hpp"
#include "log/host_observer.hpp"

namespace talvero {

// The commands an operator sends to a unit of the grid: each becomes one frame,
// sealed for the unit, and is either written to the unit at once or put into
// its CmdBuffer, delivered after the unit's next report.
//
// ctrlHeld is the state of the Ctrl key when the command starts, and for the
// answers to its dialogs, when the answer is given: it skips the checks of the
// unit's route and queues instead of sending.
//
// A unit number outside 0..65535, or a unit whose row no longer exists (its
// slot not in use), gives Nothing.
class UnitCommands {
 public:
  UnitCommands(UnitTables& tables, FrameProcessor& frames, const CustomCommands& custom,
               const Settings& settings, const Clock& clock, Logger& log, HostObserver& observer);

  CommandStep SendCMD(std::string_view name, int64_t unit, bool ctrlHeld) noexcept;
  CommandStep SendCustomCMD(size_t lineIndex, int64_t unit, bool ctrlHeld) noexcept;
  // The answer to the "Change UnitID" input box; nothing for Cancel.
  CommandStep AnswerUnitNr(const PendingCommand& pending, std::optional<std::string_view> answer,
                           bool ctrlHeld) noexcept;

  // The names of the unit's buffered commands, head first (the "Cmd" pop-up).
  std::vector<std::string> CmdBufferNames(int64_t unit) const;
  // "Clear All Remembered Commands".
  void ClearCmdBuffer(int64_t unit);

  // The most payload bytes a custom command to a unit that encrypts can carry.
  static constexpr size_t kMaxEncryptedPayload = 253;

 private:
  std::optional<uint16_t> RowUnit(int64_t unit) const;
  // The row's unit when the command may go on; otherwise nothing, with step
  // set to what the operator sees (a refusal, or nothing at all).
  std::optional<uint16_t> Admit(int64_t unit, bool ctrlHeld, bool custom, CommandStep& step) const;
  std::optional<CommandStep> RefuseUnreachable(uint16_t unit, bool custom) const;
  // The last steps of every command: seal the frame, then queue or send it.
  CommandStep Deliver(std::string_view name, std::string frame, uint16_t unit, bool ctrlHeld,
                      bool custom);
  // Whether the unit can be written to now without Ctrl: over its open TCP
  // connection, or over UDP while it is the unit heard last, less than 11 s ago.
  bool CanSendNow(uint16_t unit) const;
  CommandStep Queue(std::string_view name, std::string_view frame, uint16_t unit);
  CommandStep Send(std::string_view name, std::string_view frame, uint16_t unit, bool custom);
  std::string NamedFrame(std::string_view name, uint16_t unit) const;

  UnitTables& tables_;
  FrameProcessor& frames_;
  const CustomCommands& custom_;
  const Settings& settings_;
  const Clock& clock_;
  Logger& log_;
  HostObserver& observer_;
};

}  // namespace talvero
