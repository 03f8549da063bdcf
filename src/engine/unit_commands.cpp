#include "engine/unit_commands.hpp"

#include <fmt/format.h>

#include <array>
#include <utility>

#include "base/guard.hpp"
#include "base/trim.hpp"
#include "engine/cmd_buffer_entry.hpp"
#include "engine/command_frames.hpp"
#include "engine/partition_command.hpp"
#include "engine/stored_route.hpp"
#include "log/separated.hpp"
#include "log/time_text.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

constexpr int kSoundSent = 0;
constexpr int kSoundRefused = 1;
constexpr int kSoundQueued = 4;

// A unit that reported over UDP less than this many whole seconds ago, as the
// unit heard last, still listens on the address it sent from.
constexpr int64_t kUdpReachSeconds = 11;

constexpr std::string_view kChangeUnitIDName = "Change UnitID";
constexpr uint8_t kChangeUnitIDCode = 43;
constexpr size_t kChangeUnitIDLength = 27;
constexpr size_t kImeiFieldOffset = 8;
constexpr size_t kNewUnitNrOffset = 23;
constexpr size_t kImeiLength = 15;

constexpr uint8_t kCustomCode = 45;
constexpr size_t kHeaderLength = 8;

struct SimpleCommand {
  std::string_view name;
  uint8_t code;
};
constexpr std::array<SimpleCommand, 5> kSimpleCommands{{
    {"Get Ping", 36},
    {"Get Automatic Test", 44},
    {"Get GSM Level", 37},
    {"Reset Device", 41},
    {"Clear Storage", 38},
}};

constexpr uint8_t kPartitionCode = 39;
constexpr size_t kPartitionLength = 10;

CommandStep Refusal(std::string text) {
  CommandStep step;
  step.kind = CommandStep::Kind::Refused;
  step.sound = kSoundRefused;
  step.boxText = std::move(text);
  return step;
}

// "Change UnitID" needs the unit's 15-digit IMEI, at the start and at the answer.
CommandStep ImeiRefusal(uint16_t unit) {
  return Refusal(
      fmt::format("Unknown Imei of Unit {}\r\nCommand can not be proceed", UnitText(unit)));
}

// The answer to "Change UnitID" as a hexadecimal number; -1 when it is none,
// and a value above 0xFFFF stays above it however many digits follow.
int64_t HexAnswerValue(std::string_view text) {
  if (text.empty()) {
    return -1;
  }
  int64_t value = 0;
  for (const char c : text) {
    const uint8_t digit = HexDigitValue(c);
    if (digit > 15) {
      return -1;
    }
    value = std::min<int64_t>(value * 16 + digit, 0x10000);
  }
  return value;
}

}  // namespace

UnitCommands::UnitCommands(UnitTables& tables, FrameProcessor& frames, const CustomCommands& custom,
                           const Settings& settings, const Clock& clock, Logger& log,
                           HostObserver& observer)
    : tables_(tables),
      frames_(frames),
      custom_(custom),
      settings_(settings),
      clock_(clock),
      log_(log),
      observer_(observer) {}

std::optional<uint16_t> UnitCommands::RowUnit(int64_t unit) const {
  if (unit < 0 || unit >= static_cast<int64_t>(kUnitCount) ||
      tables_.UnitTable[static_cast<size_t>(unit)].Active == 0) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(unit);
}

std::optional<uint16_t> UnitCommands::Admit(int64_t unit, bool ctrlHeld, bool custom,
                                            CommandStep& step) const {
  const std::optional<uint16_t> u = RowUnit(unit);
  if (u && !ctrlHeld) {
    if (std::optional<CommandStep> refused = RefuseUnreachable(*u, custom)) {
      step = std::move(*refused);
      return std::nullopt;
    }
  }
  return u;
}

std::optional<CommandStep> UnitCommands::RefuseUnreachable(uint16_t unit, bool custom) const {
  const TUnitStruct& u = tables_.UnitTable[unit];
  const std::string text = UnitText(unit);
  if (u.TrProto == TransportKind::Unknown) {
    return Refusal(custom ? fmt::format("Unknown Transport protocol for Unit [{}]\r\nFirst you "
                                        "have to receive any new message from this Unit\r\nOnly "
                                        "then it will be possible to send the command",
                                        text)
                          : fmt::format("Unknown Transport protocol for Unit [{}]\r\nFirst you "
                                        "have to receive new message from this Unit.\r\nOnly "
                                        "then it will be possible to send the command.",
                                        text));
  }
  if (!HasRoute(u.TcpConn) && !HasRoute(u.UdpPeer)) {
    return Refusal(custom ? fmt::format("No One Message was received from Unit [{}] after "
                                        "StartUp\r\nFirst you have to receive any new message "
                                        "from this Unit\r\nOnly then it will be possible to send "
                                        "the command",
                                        text)
                          : fmt::format("No Messages was received from Unit [{}] after "
                                        "StartUp.\r\nFirst you have to receive any message from "
                                        "this Unit.\r\nOnly then it will be possible to send the "
                                        "command.",
                                        text));
  }
  return std::nullopt;
}

std::string UnitCommands::NamedFrame(std::string_view name, uint16_t unit) const {
  for (const SimpleCommand& command : kSimpleCommands) {
    if (name == command.name) {
      return cmdID_to_cmdss(kHeaderLength, command.code, unit, log_);
    }
  }
  if (name == kSetTimeCmdName) {
    return SetTimeFrame(unit, clock_.Now(), log_);
  }
  if (const std::optional<PartitionCommand> command = PartitionCommandOfName(name)) {
    std::string frame = cmdID_to_cmdss(kPartitionLength, kPartitionCode, unit, log_);
    frame[8] = static_cast<char>(command->arm ? 1 : 0);
    frame[9] = static_cast<char>(command->partition - 1);
    return frame;
  }
  return {};
}

CommandStep UnitCommands::SendCMD(std::string_view name, int64_t unit, bool ctrlHeld) noexcept {
  CommandStep step;
  Guarded(log_, "SendCMD", [&] {
    const std::optional<uint16_t> u = Admit(unit, ctrlHeld, false, step);
    if (!u) {
      return;
    }
    if (name == kChangeUnitIDName) {
      if (tables_.UnitTable[*u].Imei.size() != kImeiLength) {
        step = ImeiRefusal(*u);
        return;
      }
      step.kind = CommandStep::Kind::AskUnitNr;
      step.input = {"Change UnitID", "Type New UnitID [0001..FFFF]", UnitText(*u)};
      step.pending =
          PendingCommand{PendingCommand::Stage::UnitNr, NamedCommand{std::string(name)}, *u, {}};
      return;
    }
    std::string frame = NamedFrame(name, *u);
    if (!frame.empty()) {
      step = Deliver(name, std::move(frame), *u, ctrlHeld, false);
    }
  });
  return step;
}

CommandStep UnitCommands::AnswerUnitNr(const PendingCommand& pending,
                                       std::optional<std::string_view> answer,
                                       bool ctrlHeld) noexcept {
  CommandStep step;
  Guarded(log_, "SendCMD", [&] {
    const std::optional<uint16_t> u = RowUnit(pending.unit);
    if (!u || !answer || pending.stage != PendingCommand::Stage::UnitNr) {
      return;
    }
    const std::string_view trimmed = TrimText(*answer);
    const int64_t value = HexAnswerValue(trimmed);
    if (value < 1 || value > 0xFFFF) {
      step =
          Refusal(fmt::format("\"{}\" - not valid UnitID\r\nValid UnitID is in range "
                              "[0001..FFFF]",
                              trimmed));
      return;
    }
    const auto newUnit = static_cast<uint16_t>(value);
    if (tables_.UnitTable[newUnit].Active != 0) {
      step = Refusal(fmt::format("Such UnitID {} already exists\r\nCommand can not be proceed",
                                 UnitText(newUnit)));
      return;
    }
    // The IMEI may have changed while the box was open.
    const std::string_view imei = tables_.UnitTable[*u].Imei.View();
    if (imei.size() != kImeiLength) {
      step = ImeiRefusal(*u);
      return;
    }
    std::string frame = cmdID_to_cmdss(kChangeUnitIDLength, kChangeUnitIDCode, *u, log_);
    frame.replace(kImeiFieldOffset, kImeiLength, imei);
    UnitIDToNibbles(newUnit, frame, kNewUnitNrOffset);
    step = Deliver(kChangeUnitIDName, std::move(frame), *u, ctrlHeld, false);
  });
  return step;
}

CommandStep UnitCommands::SendCustomCMD(size_t lineIndex, int64_t unit, bool ctrlHeld) noexcept {
  CommandStep step;
  Guarded(log_, "SendCustomCMD", [&] {
    const std::optional<uint16_t> u = Admit(unit, ctrlHeld, true, step);
    if (!u) {
      return;
    }
    const CustomCommandLine line = custom_.Line(lineIndex);
    if (!line.Valid) {
      return;
    }
    // The cipher works on at most 257 bytes from byte 4 on.
    if (tables_.EncrByUnit[*u] != 0 && line.Payload.size() > kMaxEncryptedPayload) {
      step = Refusal(
          fmt::format("Custom command <{}> has {} payload bytes: Unit {} encrypts, and "
                      "an encrypted command holds {} at most\r\nCommand can not be "
                      "proceed",
                      line.Caption, line.Payload.size(), UnitText(*u), kMaxEncryptedPayload));
      return;
    }
    std::string frame = cmdID_to_cmdss(kHeaderLength, kCustomCode, *u, log_);
    frame += line.Payload;
    step = Deliver(line.Caption, std::move(frame), *u, ctrlHeld, true);
  });
  return step;
}

bool UnitCommands::CanSendNow(uint16_t unit) const {
  const TUnitStruct& u = tables_.UnitTable[unit];
  if (!u.TcpConn.expired()) {
    return true;
  }
  return frames_.LastUnitText() == UnitText(unit) &&
         SecondsSince(u.LastRecvTime, clock_.Now()) < kUdpReachSeconds &&
         frames_.UdpBindingAddresses(unit);
}

CommandStep UnitCommands::Deliver(std::string_view name, std::string frame, uint16_t unit,
                                  bool ctrlHeld, bool custom) {
  const std::string sealed = SealCommand(std::move(frame), unit, tables_, settings_, log_);
  if (sealed.empty()) {
    return {};  // the cipher reported why
  }
  // A closed TCP connection counts as none: the command waits for the unit's
  // next frame, which brings the connection it is then sent on.
  const bool tcpOpen = !tables_.UnitTable[unit].TcpConn.expired();
  bool send = false;
  if (custom) {
    // Never through the UDP binding while it may point at another unit.
    send = !ctrlHeld && CanSendNow(unit);
  } else if (tcpOpen) {
    send = !ctrlHeld;
  } else {
    send = CanSendNow(unit);
  }
  return send ? Send(name, sealed, unit, custom) : Queue(name, sealed, unit);
}

CommandStep UnitCommands::Queue(std::string_view name, std::string_view frame, uint16_t unit) {
  std::vector<std::string>& buffer = tables_.UnitTable[unit].CmdBuffer;
  buffer.push_back(MakeCmdEntry(name, frame));
  observer_.UnitChanged(unit);
  CommandStep step;
  step.kind = CommandStep::Kind::Queued;
  step.sound = kSoundQueued;
  step.cmdCount = buffer.size();
  return step;
}

CommandStep UnitCommands::Send(std::string_view name, std::string_view frame, uint16_t unit,
                               bool custom) {
  const TUnitStruct& u = tables_.UnitTable[unit];
  frames_.RealSend(frames_.UnitRoute(unit), frame);
  observer_.CountUp(Counter::SendCmd);
  CommandStep step;
  step.kind = CommandStep::Kind::Sent;
  step.sound = kSoundSent;
  step.showAllMsgTab = true;
  const std::string hex = StrToHexText(frame);
  const uint16_t frameID = tables_.FrameIDByUnit[unit];
  step.logLine =
      custom ? fmt::format("Send Cmd <{}> to Unit {} (0x{} 0x{}:{}): 0x{} [Frame ID: {}]", name,
                           UnitText(unit), u.Account.View(), u.IP.View(), u.Port, hex, frameID)
             : fmt::format("Send Cmd <{}> to Unit {} ({} - {}:{}): 0x{} [Frame ID: {}]", name,
                           UnitText(unit), u.Account.View(), u.IP.View(), u.Port, hex, frameID);
  log_.LogAllMsg(Separated(step.logLine));
  return step;
}

std::vector<std::string> UnitCommands::CmdBufferNames(int64_t unit) const {
  std::vector<std::string> names;
  if (const std::optional<uint16_t> u = RowUnit(unit)) {
    for (const std::string& entry : tables_.UnitTable[*u].CmdBuffer) {
      names.emplace_back(CmdEntryName(entry));
    }
  }
  return names;
}

void UnitCommands::ClearCmdBuffer(int64_t unit) {
  if (const std::optional<uint16_t> u = RowUnit(unit)) {
    tables_.UnitTable[*u].CmdBuffer.clear();
    observer_.UnitChanged(*u);
  }
}

}  // namespace talvero
