#include <fmt/format.h>

#include <string>
#include <string_view>

#include "engine/cmd_buffer_entry.hpp"
#include "engine/frame_processor.hpp"
#include "engine/unit_record.hpp"
#include "log/time_text.hpp"

namespace talvero {
namespace {

// A buffered command counts as confirmed by any frame of its unit that comes
// within this many whole seconds of its sending.
constexpr int64_t kCmdConfirmSeconds = 11;

// The Imp_msg line for a field of a unit's record that a frame changed.
std::string ChangedLine(const RecMsg& msg, const TUnitStruct& u, std::string_view field,
                        std::string_view before, std::string_view after) {
  return fmt::format("[Unit {}] [Account {}] Changed {}: [{}] -> [{}]", msg.UnitText,
                     u.Account.View(), field, before, after);
}

}  // namespace

void FrameProcessor::UpdateUnitRecord(const RecMsg& msg, const Reception& rx) {
  const uint16_t unit = msg.UnitNr;
  TUnitStruct& u = tables_.UnitTable[unit];
  bool changed = false;  // a field of the unit's record

  if (u.Active == 0) {
    u.Active = 1;
    if (IsDesktop()) {
      observer_.UnitChanged(unit);
    }
    database_.WriteUnitField(unit, UnitField::Active);
    ImpMsg(fmt::format("{} FIRST MSG", msg.UnitText));
    u.FirstMsgTime = rx.ReceiveTime;
    database_.WriteUnitField(unit, UnitField::FirstMsgTime);
    changed = true;
  }

  if (u.TrProto != rx.Kind) {
    u.TrProto = rx.Kind;
    database_.WriteUnitField(unit, UnitField::TrProto);
    changed = true;
  }

  if (u.IP != rx.PeerAddress || u.Port != rx.PeerPort) {
    if (u.IP != rx.PeerAddress) {
      ImpMsg(ChangedLine(msg, u, "IP", u.IP.View(), rx.PeerAddress));
    }
    u.IP = rx.PeerAddress;
    u.Port = rx.PeerPort;
    database_.WriteUnitField(unit, UnitField::Address);
    changed = true;
  }

  // An IMEI that is not all digits cannot be stored. It comes from the unit,
  // and nothing a unit sends may write to the "Errors" log (which stops the
  // service): it is told in "Imp_msg", the record keeps its IMEI and the
  // update goes on.
  if (!msg.Imei.empty() && u.Imei != msg.Imei && !IsStorableImei(msg.Imei)) {
    ImpMsg(fmt::format("[Unit {}] [Account {}] INVALID Imei: [{}]", msg.UnitText, u.Account.View(),
                       msg.Imei));
  } else if (!msg.Imei.empty() && u.Imei != msg.Imei) {
    ImpMsg(ChangedLine(msg, u, "Imei", u.Imei.View(), msg.Imei));
    u.Imei = msg.Imei;
    database_.WriteUnitField(unit, UnitField::Imei);
    changed = true;
  }

  u.LastMsgTime = rx.ReceiveTime;
  database_.WriteUnitField(unit, UnitField::LastMsgTime);

  if (!msg.FwRaw.empty() && u.FwRaw != msg.FwRaw) {
    ImpMsg(ChangedLine(msg, u, "fwVer", u.FwVer.View(), msg.FwVer));
    u.FwRaw = msg.FwRaw;
    u.FwVer = msg.FwVer;
    database_.WriteUnitField(unit, UnitField::FwRaw);
    changed = true;
  }

  if (!msg.Account.empty() && msg.Account != rx.AccountBefore) {
    ImpMsg(fmt::format("[Unit {}] Changed Account: [{}] -> [{}]", msg.UnitText, rx.AccountBefore,
                       msg.Account));
    database_.WriteUnitField(unit, UnitField::Account);
    changed = true;
  }

  if (rx.GsmLevel >= 0 && rx.GsmLevel <= 9) {
    u.GsmLevel = static_cast<char>('0' + rx.GsmLevel);
    database_.WriteUnitField(unit, UnitField::GsmLevel);
    changed = true;
  }

  const TDateTime now = clock_.Now();
  if (!u.CmdBuffer.empty() && SecondsSince(u.CmdSentTime, now) < kCmdConfirmSeconds) {
    log_.LogAllMsg(fmt::format("Delete Buf-Cmd: <{}>", CmdEntryName(u.CmdBuffer.front())));
    u.CmdBuffer.erase(u.CmdBuffer.begin());
    // The next entry has not been sent yet: only its own sending may be confirmed.
    u.CmdSentTime = {};
    changed = true;
  }

  if (!u.CmdBuffer.empty()) {
    watchDog_.Kick(msg.UnitText);
  }

  if (IsDesktop()) {
    u.LastRecvTime = now;
  }

  // Only the desktop's grid filters by it.
  if (IsDesktop()) {
    database_.UpdateFilterText(unit);
  }

  if (IsDesktop() && changed) {
    observer_.UnitChanged(unit);
  }
}

}  // namespace talvero
