#pragma once

#include <cstdint>
#include <string>

namespace talvero {

// The eleven engine values with their built-in values; the settings file
// validates and applies them, every other part reads the current values.
struct Settings {
  uint16_t TcpUdpSrvPort = 33665;
  std::string SerialPort = "COM1";
  int32_t CommTrouble1 = 15;  // minutes; CommTrouble1..3 are the trouble defaults
  int32_t CommTrouble2 = 60;
  int32_t CommTrouble3 = 240;
  int32_t CommTrStartUpDelay = 7;   // minutes, 0 = no delay
  int32_t PingInvToMonitSoft = 30;  // seconds, 0 = heartbeat off
  uint8_t EncrMarker = 0;
  int32_t ReceiverNumber = 7;
  int32_t LineNumber = 7;
  std::string EncryptionKey = "9873";
};

}  // namespace talvero
