#include "station/comm_trouble_supervisor.hpp"

#include <fmt/format.h>

#include <stdexcept>
#include <string>

#include "base/guard.hpp"
#include "log/separated.hpp"
#include "protocol/hex_text.hpp"
#include "protocol/unit_id.hpp"
#include "station/station_line.hpp"

namespace talvero {
namespace {

constexpr int64_t kMsPerMinute = 60'000;
constexpr uint8_t kAllLevels = kCommTrLevel1 | kCommTrLevel2 | kCommTrLevel3;

}  // namespace

int64_t MinutesOfSilence(TDateTime lastMsgTime, TDateTime now) {
  const int64_t ms = now.ms - lastMsgTime.ms;
  return ms > 0 ? ms / kMsPerMinute : 0;
}

CommTroubleSupervisor::CommTroubleSupervisor(UnitTables& tables, UnitFieldWriter& writer,
                                             StationLink& link, const Clock& clock,
                                             TimerFactory& timers, Logger& log, HostKind host,
                                             HostObserver& observer, const Settings& settings)
    : tables_(tables),
      writer_(writer),
      link_(link),
      clock_(clock),
      log_(log),
      host_(host),
      observer_(observer),
      settings_(settings),
      TimerCommTr(timers.MakeTimer(TimerKind::Periodic, [this] { CheckCommSt(); })) {}

void CommTroubleSupervisor::EnableTimer() {
  TimerCommTr->Start(kCheckPeriod);
}

bool CommTroubleSupervisor::InStartUpDelay(TDateTime now) const {
  const int64_t delayMinutes = settings_.CommTrStartUpDelay;
  if (delayMinutes <= 0) {
    return false;
  }
  const int64_t elapsedMs = now.ms - startTime_.ms;
  // A clock set back before the start does not stop the checks until it catches up.
  if (elapsedMs < 0) {
    return false;
  }
  return elapsedMs / 1000 < delayMinutes * 60 - 10;
}

void CommTroubleSupervisor::CheckCommSt() {
  Guarded(log_, "CheckCommSt", [&] {
    const TDateTime now = clock_.Now();
    if (InStartUpDelay(now)) {
      return;
    }
    // A unit past more than one threshold has its flags written once.
    writer_.WriteFieldsTogether([&] { CheckUnits(now); });
  });
}

void CommTroubleSupervisor::CheckUnits(TDateTime now) {
  for (size_t index = 0; index < kUnitCount; ++index) {
    const auto unit = static_cast<uint16_t>(index);
    const TUnitStruct& u = tables_.UnitTable[index];
    if (u.Active == 0 || u.CommTrFlags == kAllLevels) {
      continue;
    }
    const int64_t silence = MinutesOfSilence(u.LastMsgTime, now);
    const std::string account = IsValidHex4Text(u.Account) ? u.Account.Str() : "FFFF";
    const CommTrLimit limit = tables_.CommTrLimits[index];
    for (int level = 1; level <= 3; ++level) {
      const int32_t threshold = limit[static_cast<size_t>(level - 1)];
      const auto bit = static_cast<uint8_t>(1u << (level - 1));
      if (threshold > 0 && (u.CommTrFlags & bit) == 0 && silence >= threshold) {
        Send_CommTrouble(unit, account, level, threshold);
      }
    }
  }
}

void CommTroubleSupervisor::Send_CommTrouble(uint16_t unit, std::string_view account, int level,
                                             int32_t threshold) {
  if (level < 1 || level > 3) {
    throw std::invalid_argument("communication-trouble level out of 1..3");
  }
  TUnitStruct& u = tables_.UnitTable[unit];
  u.CommTrFlags = static_cast<uint8_t>(u.CommTrFlags | (1u << (level - 1)));
  link_.AppendToSendBuf(
      CommTroubleLine(settings_.ReceiverNumber, settings_.LineNumber, account, level));
  log_.LogAllMsg(Separated(fmt::format("[Unit {}] [Account {}] - CommTrouble{} ({} min. No Ping)",
                                       UnitText(unit), account, level, threshold)));
  writer_.WriteUnitField(unit, UnitField::CommTrFlags);
  UnitChanged(unit);
}

void CommTroubleSupervisor::Send_CommRestore_ifNeed(uint16_t unit) {
  Guarded(log_, "Send_CommRestore_ifNeed", [&] {
    TUnitStruct& u = tables_.UnitTable[unit];
    // Without a full account the restore waits for a frame that brings one.
    if (u.CommTrFlags == 0 || u.Account.size() != 4) {
      return;
    }
    u.CommTrFlags = 0;
    link_.AppendToSendBuf(
        CommRestoreLine(settings_.ReceiverNumber, settings_.LineNumber, u.Account));
    log_.LogAllMsg(
        fmt::format("[Unit {}] [Account {}] - CommRestore", UnitText(unit), u.Account.View()));
    writer_.WriteUnitField(unit, UnitField::CommTrFlags);
    UnitChanged(unit);
  });
}

void CommTroubleSupervisor::UnitChanged(uint16_t unit) {
  if (host_ == HostKind::Desktop) {
    observer_.UnitChanged(unit);
  }
}

}  // namespace talvero
