#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talvero {

// The index of a key in the fixed key order of Talvero.ini.
enum class SettingKey : int {
  TcpUdpSrvPort = 0,
  SerialPort = 1,
  CommTrouble1 = 2,
  CommTrouble2 = 3,
  CommTrouble3 = 4,
  CommTrStartUpDelay = 5,
  PingInvToMonitSoft = 6,
  EncrMarker = 7,
  AutoStartUp = 8,
  SystemTray = 9,
  PlaySounds = 10,
  ReceiverNumber = 11,
  LineNumber = 12,
  EncryptionKey = 13,
};

inline constexpr size_t kSettingKeyCount = 14;

// How a value is judged.
enum class SettingRule {
  Range,        // a decimal integer in min..max
  RangeOrZero,  // 0, or a decimal integer in min..max
  NameLength,   // a name of min..max characters
  FourDigits,   // a decimal integer in min..max, kept as four digits with leading zeros
  Flag,         // "1" is on; any other text is off
};

struct SettingDef {
  std::string_view name;     // the key in the file
  std::string_view builtIn;  // the value before the file is read, and in a new file
  SettingRule rule;
  int32_t min;
  int32_t max;
  std::string_view fallback;  // taken for an invalid value
};

// One row per key, in SettingKey order: it drives reading, validation, the
// default file and writing.
inline constexpr std::array<SettingDef, kSettingKeyCount> kSettingTable{{
    {"TcpUdpSrvPort", "33665", SettingRule::Range, 1, 65534, "33665"},
    {"SerialPort", "COM1", SettingRule::NameLength, 3, 6, "COM1"},
    {"CommTrouble1", "15", SettingRule::Range, 0, 9999, "15"},
    {"CommTrouble2", "60", SettingRule::Range, 0, 9999, "60"},
    {"CommTrouble3", "240", SettingRule::Range, 0, 9999, "240"},
    {"CommTrStartUpDelay", "7", SettingRule::Range, 0, 60, "7"},
    {"PingInvToMonitSoft", "30", SettingRule::RangeOrZero, 5, 60, "30"},
    {"EncrMarker", "0", SettingRule::Range, 0, 1, "0"},
    {"AutoStartUp", "0", SettingRule::Flag, 0, 1, "0"},
    {"SystemTray", "0", SettingRule::Flag, 0, 1, "0"},
    {"PlaySounds", "0", SettingRule::Flag, 0, 1, "0"},
    {"ReceiverNumber", "7", SettingRule::Range, 1, 99, "7"},
    {"LineNumber", "7", SettingRule::Range, 1, 9, "7"},
    {"EncryptionKey", "9873", SettingRule::FourDigits, 0, 9999, "9873"},
}};

constexpr const SettingDef& SettingDefOf(SettingKey key) {
  return kSettingTable[static_cast<size_t>(key)];
}

}  // namespace talvero
