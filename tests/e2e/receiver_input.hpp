#pragma once

// Frames of units and settings files, as the end-to-end tests give them to the
// real receiver.
#include <cstdint>
#include <string>

#include "protocol/crc8.hpp"
#include "protocol/time_bytes.hpp"
#include "protocol/unit_id.hpp"
#include "support/virtual_time.hpp"

namespace talvero::e2e {

inline std::string Frame(uint8_t type, uint16_t frameId, uint16_t unit,
                         const std::string& payload) {
  std::string frame(8, '\0');
  frame[0] = static_cast<char>(type);
  frame[2] = static_cast<char>(frameId >> 8);
  frame[3] = static_cast<char>(frameId & 0xFF);
  UnitIDToNibbles(unit, frame, 4);
  return AddCrc8(frame + payload);
}

inline std::string AlarmEvent(uint16_t unit, const std::string& account, const std::string& event) {
  std::string time(6, '\0');
  PutTimeBytes(time, 0, testing::At(2024, 3, 5, 14, 7, 9));
  return Frame(6, 1, unit, time + account + event);
}

inline std::string SettingsFile(uint16_t port, int pingSeconds = 30,
                                const std::string& serialPort = "COM1") {
  return "TcpUdpSrvPort=" + std::to_string(port) + "\r\nSerialPort=" + serialPort +
         "\r\nCommTrouble1=15\r\nCommTrouble2=60\r\nCommTrouble3=240\r\n"
         "CommTrStartUpDelay=7\r\nPingInvToMonitSoft=" +
         std::to_string(pingSeconds) +
         "\r\nEncrMarker=0\r\nAutoStartUp=0\r\nSystemTray=0\r\nPlaySounds=0\r\n"
         "ReceiverNumber=7\r\nLineNumber=7\r\nEncryptionKey=9873\r\n";
}

}  // namespace talvero::e2e
