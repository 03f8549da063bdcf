#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace talvero {

inline constexpr int kNoSound = -1;

// A named command of the grid's menu, or a custom command by its line index.
struct NamedCommand {
  std::string Name;  // "Get Ping", "Do Open1", "Change UnitID" ...
  bool operator==(const NamedCommand&) const = default;
};
struct CustomCommand {
  size_t LineIndex = 0;
  bool operator==(const CustomCommand&) const = default;
};
struct DeleteCommand {
  bool operator==(const DeleteCommand&) const = default;
};
using MenuAction = std::variant<NamedCommand, CustomCommand, DeleteCommand>;

// A command waiting for the operator's answer to a dialog. It stays with the
// host that showed the dialog and goes back with the answer; it may hold the
// stored admin password, so no part of it is ever shown or sent to a page.
struct PendingCommand {
  enum class Stage { Password, UnitNr, Confirm };
  Stage stage = Stage::Password;
  MenuAction action;
  uint16_t unit = 0;
  std::string storedPassword;  // Stage::Password
};

// What the operator sees after one step of a command: the sound to play, the
// message box when there is one, and then the dialog or the result.
struct CommandStep {
  enum class Kind {
    Nothing,      // no such row, a dialog cancelled, a custom line not valid
    Refused,      // a warning box (OK); nothing sent, queued or logged
    Failed,       // an error box (OK) with the failure; nothing sent or changed
    AskUnitNr,    // the one-line input box of "Change UnitID"
    AskPassword,  // the admin password prompt, after boxText as an error box when set
    Confirm,      // a question with Yes and No
    Queued,       // put into the unit's CmdBuffer
    Sent,         // written to the unit
    Deleted,      // the unit's slot emptied and its row gone
  };
  struct InputBox {
    std::string Caption;
    std::string Prompt;
    std::string Preset;
  };

  Kind kind = Kind::Nothing;
  int sound = kNoSound;        // the PlaySnd index
  std::string boxText;         // Refused, Failed, Confirm; AskPassword after a wrong password
  InputBox input;              // AskUnitNr
  size_t cmdCount = 0;         // Queued: the unit's entries now
  std::string logLine;         // Sent: the "All msg" line written for it
  bool showAllMsgTab = false;  // Sent: the "All Msg" tab comes to the front
  std::optional<PendingCommand> pending;  // AskUnitNr, AskPassword, Confirm
};

}  // namespace talvero
