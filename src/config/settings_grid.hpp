#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "config/setting_table.hpp"

namespace talvero {

// One row of the desktop's settings grid.
struct SettingsGridRow {
  SettingKey key;
  std::string_view caption;  // the "Key" column
  std::string_view hint;
  std::string_view unit;  // shown after the value and a blank; empty for none
};

inline constexpr size_t kSettingsGridRowCount = 11;

// The eleven engine settings, in the order of the grid and of reading.
inline constexpr std::array<SettingsGridRow, kSettingsGridRowCount> kSettingsGridRows{{
    {SettingKey::TcpUdpSrvPort, "TCP/UDP Server Port",
     "TCP/UDP Server Listen Port\r\nvalid value [1..65534]", ""},
    {SettingKey::SerialPort, "Serial Port", "Serial Port\r\ne.g. CNCA1, COM1, COM2, etc.", ""},
    {SettingKey::CommTrouble1, "Comm Trouble 1",
     "CommTrouble1\r\nvalid value [1..9999] min.\r\n0=Disabled", "min."},
    {SettingKey::CommTrouble2, "Comm Trouble 2",
     "CommTrouble2\r\nvalid value [1..9999] min.\r\n0=Disabled", "min."},
    {SettingKey::CommTrouble3, "Comm Trouble 3",
     "CommTrouble3\r\nvalid value [1..9999] min.\r\n0=Disabled", "min."},
    {SettingKey::CommTrStartUpDelay, "Comm Trouble StartUp Delay",
     "CommTrouble StartUp Delay\r\nvalid value [1..60] min.\r\n0=Disabled", "min."},
    {SettingKey::PingInvToMonitSoft, "Ping Interval To Monit.Software",
     "Ping Interval To Monitoring Software\r\nvalid value [5..60] sec.\r\n0=Disabled", "sec."},
    {SettingKey::EncrMarker, "Encryption Marker",
     "Encryption Marker\r\nvalue [0] - no encryption\r\nvalue [1] - encryption turned on", ""},
    {SettingKey::ReceiverNumber, "Receiver Number", "Receiver Number\r\nvalid value [1..99]", ""},
    {SettingKey::LineNumber, "Line Number", "Line Number\r\nvalid value [1..9]", ""},
    {SettingKey::EncryptionKey, "Encryption Key", "Encryption Key\r\nvalid value [0000..9999]", ""},
}};

// What the desktop shows and saves: the "Value" texts of the grid rows and the
// two check boxes.
struct ShownSettings {
  std::array<std::string, kSettingsGridRowCount> values;
  bool systemTray = false;  // "Minimize to System Tray"
  bool playSounds = false;  // "Play Sounds"
  bool operator==(const ShownSettings&) const = default;
};

}  // namespace talvero
