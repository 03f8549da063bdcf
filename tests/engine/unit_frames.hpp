#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"
#include "support/bytes.hpp"
#include "support/decrypted.hpp"
#include "support/recording_logger.hpp"

namespace talvero::testing {

// Header and payload of a frame a unit sends, before encryption and checksum:
// the unit number goes into bytes 4..7 as nibbles, lowest digit first.
inline std::string UnitFrame(uint8_t type, uint16_t frameID, uint16_t unit,
                             std::string_view payload = {}) {
  std::string frame = Bytes({type, 0, frameID >> 8, frameID & 0xFF, unit & 0xF, (unit >> 4) & 0xF,
                             (unit >> 8) & 0xF, unit >> 12});
  frame.append(payload);
  return frame;
}

inline std::string Plain(std::string_view frame) {
  return AddCrc8(frame);
}

// The IMEI the fixtures' units report.
inline const std::string kImei = "351234567890123";

inline std::string Ping(uint16_t unit, uint16_t frameID = 5) {
  return Plain(UnitFrame(35, frameID, unit));
}

// As a unit that encrypts sends it: bytes 4 on encrypted with the FrameID as
// vector, the checksum over the encrypted bytes.
inline std::string Encrypted(std::string frame, std::string_view key = "9873", int marker = 1) {
  RecordingLogger log;
  frame[1] = static_cast<char>(marker);
  std::string out = frame.substr(0, 4);
  out += Encryption(std::string_view(frame).substr(4), static_cast<uint8_t>(frame[2]),
                    static_cast<uint8_t>(frame[3]), key, log);
  return AddCrc8(out);
}

// Bytes 8..26 of an AlarmEvent: date and time, account, qualifier and code, group, zone.
inline std::string EventPayload(std::initializer_list<int> dateTime, std::string_view account,
                                std::string_view code, std::string_view group,
                                std::string_view zone) {
  std::string payload = Bytes(dateTime);
  payload.append(account);
  payload.append(code);
  payload.append(group);
  payload.append(zone);
  return payload;
}

// The time bytes of the engine fixtures' clock, 2024-03-07 09:00:00.
inline const std::string kEngineNowBytes = Bytes({24, 3, 7, 9, 0, 0});

}  // namespace talvero::testing
