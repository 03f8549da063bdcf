#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/clock.hpp"
#include "base/date_time.hpp"
#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "base/timer.hpp"
#include "engine/settings.hpp"
#include "engine/unit_field.hpp"
#include "engine/unit_table.hpp"
#include "log/host_observer.hpp"
#include "station/station_link.hpp"

namespace talvero {

// Whole minutes from the unit's last valid frame to now. A last frame in the
// future (the clock was set back) counts as no silence: the unit's next frame
// sets its time anew, and a jump of the clock raises no trouble for every unit.
int64_t MinutesOfSilence(TDateTime lastMsgTime, TDateTime now);

// Tells the central station when a unit in use has gone silent past one of its
// three thresholds, and when it is heard again. Trouble state lives in each
// unit's CommTrFlags, written through to the unit database.
class CommTroubleSupervisor {
 public:
  CommTroubleSupervisor(UnitTables& tables, UnitFieldWriter& writer, StationLink& link,
                        const Clock& clock, TimerFactory& timers, Logger& log, HostKind host,
                        HostObserver& observer, const Settings& settings);
  CommTroubleSupervisor(const CommTroubleSupervisor&) = delete;
  CommTroubleSupervisor& operator=(const CommTroubleSupervisor&) = delete;

  // The moment the engine started; the start-up delay counts from it.
  void SetStartTime(TDateTime moment) { startTime_ = moment; }
  TDateTime StartTime() const { return startTime_; }

  // End of start-up: TimerCommTr starts checking once a minute.
  void EnableTimer();

  void CheckCommSt();
  // Raises level 1..3 of a unit with the account text to report and the threshold reached.
  void Send_CommTrouble(uint16_t unit, std::string_view account, int level, int32_t threshold);
  // For every valid frame: one restore line clears all raised levels.
  void Send_CommRestore_ifNeed(uint16_t unit);

  static constexpr std::chrono::milliseconds kCheckPeriod{60000};

 private:
  bool InStartUpDelay(TDateTime now) const;
  void CheckUnits(TDateTime now);
  void UnitChanged(uint16_t unit);

  UnitTables& tables_;
  UnitFieldWriter& writer_;
  StationLink& link_;
  const Clock& clock_;
  Logger& log_;
  HostKind host_;
  HostObserver& observer_;
  const Settings& settings_;
  TDateTime startTime_;
  std::unique_ptr<Timer> TimerCommTr;
};

}  // namespace talvero
