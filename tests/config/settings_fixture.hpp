#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/settings_editor.hpp"
#include "config/settings_effects.hpp"
#include "config/settings_lines.hpp"
#include "engine/settings.hpp"
#include "engine/unit_table.hpp"
#include "station/comm_trouble_limits.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

namespace talvero::testing {

// Records every effect in one ordered list, with the setting it acts on as it
// stands at the call; the trouble defaults go through the real threshold move.
class RecordingEffects final : public SettingsEffects {
 public:
  explicit RecordingEffects(Settings& settings) : settings_(settings) {}

  bool StartUpCompleted() const override { return started; }
  void ActivateSrvPort(bool force) override {
    calls.push_back(
        fmt::format("ActivateSrvPort force={} port={}", force, settings_.TcpUdpSrvPort));
  }
  void DoActivateSerialPort() override {
    calls.push_back("DoActivateSerialPort " + settings_.SerialPort);
    if (failSerialPort) {
      throw std::runtime_error("port layer broke");
    }
  }
  void PingMonitSoft() override {
    calls.push_back(fmt::format("PingMonitSoft {}", settings_.PingInvToMonitSoft));
  }
  void ApplyPingInterval() override {
    calls.push_back(fmt::format("ApplyPingInterval {}", settings_.PingInvToMonitSoft));
  }
  void ChangeCommTrDefault(int level, std::optional<int32_t> value) override {
    calls.push_back(fmt::format("ChangeCommTrDefault {} {}", level,
                                value ? std::to_string(*value) : std::string("invalid")));
    talvero::ChangeCommTrDefault(settings_, limits, level, value ? *value : -1);
  }

  bool started = false;
  bool failSerialPort = false;
  std::vector<std::string> calls;
  // Unit 0 carries the defaults, unit 1 has its own level-1 threshold.
  std::vector<CommTrLimit> limits{{15, 60, 240}, {30, 60, 240}};

 private:
  Settings& settings_;
};

// The fourteen lines of a file, each ended by CR LF.
inline std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

inline const std::string kDefaultFile =
    "TcpUdpSrvPort=33665\r\nSerialPort=COM1\r\nCommTrouble1=15\r\nCommTrouble2=60\r\n"
    "CommTrouble3=240\r\nCommTrStartUpDelay=7\r\nPingInvToMonitSoft=30\r\nEncrMarker=0\r\n"
    "AutoStartUp=0\r\nSystemTray=0\r\nPlaySounds=0\r\nReceiverNumber=7\r\nLineNumber=7\r\n"
    "EncryptionKey=9873\r\n";

// A temporary home with Talvero.ini, the engine's settings and the recorders.
class SettingsFixture : public ::testing::Test {
 protected:
  SettingsEditor Editor(HostKind host) { return SettingsEditor(settings, effects, log, host); }

  TempDir home;
  std::filesystem::path ini = home.path() / kSettingsFileName;
  Settings settings;
  RecordingEffects effects{settings};
  RecordingLogger log;
};

}  // namespace talvero::testing
