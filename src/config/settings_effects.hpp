#pragma once

#include <cstdint>
#include <optional>

namespace talvero {

// What applying a setting sets going in the engine. CheckSetValue stores every
// value in Settings before it calls here, except CommTrouble1..3, whose default
// ChangeCommTrDefault itself sets.
class SettingsEffects {
 public:
  virtual ~SettingsEffects() = default;
  // True once the host's start-up has completed; until then a new port does not
  // restart the transports, which the host starts later.
  virtual bool StartUpCompleted() const = 0;
  // Restarts both transports on TcpUdpSrvPort; force false, as the host starts them.
  virtual void ActivateSrvPort(bool force) = 0;
  // Opens the serial port named by SerialPort.
  virtual void DoActivateSerialPort() = 0;
  // Service host only, before ApplyPingInterval.
  virtual void PingMonitSoft() = 0;
  // Stops TimerPingDR and, for a PingInvToMonitSoft above 0, starts it with that period.
  virtual void ApplyPingInterval() = 0;
  // Level 1..3. A valid value moves every unit still at the old default along
  // and becomes the default; nullopt (invalid) makes the built-in value the
  // default and moves no unit.
  virtual void ChangeCommTrDefault(int level, std::optional<int32_t> value) = 0;
};

}  // namespace talvero
