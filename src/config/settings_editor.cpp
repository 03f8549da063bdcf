#include "config/settings_editor.hpp"

#include <fmt/format.h>

#include <optional>
#include <stdexcept>

#include "base/guard.hpp"
#include "base/trim.hpp"
#include "config/setting_table.hpp"
#include "config/setting_value.hpp"

namespace talvero {
namespace {

// The desktop flags are no engine settings.
SettingKey EngineSettingKey(int index) {
  if (index >= 0 && static_cast<size_t>(index) < kSettingKeyCount &&
      kSettingTable[static_cast<size_t>(index)].rule != SettingRule::Flag) {
    return static_cast<SettingKey>(index);
  }
  throw std::invalid_argument(fmt::format("{} is the index of no engine setting", index));
}

}  // namespace

SettingsEditor::SettingsEditor(Settings& settings, SettingsEffects& effects, Logger& log,
                               HostKind host)
    : settings_(settings), effects_(effects), log_(log), host_(host) {}

CheckSetResult SettingsEditor::CheckSetValue(int index, std::string_view text) {
  CheckSetResult result;
  Guarded(log_, "CheckSetValue", [&] {
    const SettingKey key = EngineSettingKey(index);
    const SettingCheck check = ValidateSetting(SettingDefOf(key), TrimText(text));
    Apply(key, check);
    result = {check.valid, check.text};
  });
  return result;
}

void SettingsEditor::Apply(SettingKey key, const SettingCheck& check) {
  const int32_t n = check.number;
  switch (key) {
    case SettingKey::TcpUdpSrvPort:
      settings_.TcpUdpSrvPort = static_cast<uint16_t>(n);
      if (effects_.StartUpCompleted()) {
        effects_.ActivateSrvPort(false);
      }
      return;
    case SettingKey::SerialPort:
      settings_.SerialPort = check.text;
      effects_.DoActivateSerialPort();
      return;
    case SettingKey::CommTrouble1:
    case SettingKey::CommTrouble2:
    case SettingKey::CommTrouble3: {
      const int level = static_cast<int>(key) - static_cast<int>(SettingKey::CommTrouble1) + 1;
      effects_.ChangeCommTrDefault(level, check.valid ? std::optional<int32_t>(n) : std::nullopt);
      return;
    }
    case SettingKey::CommTrStartUpDelay:
      settings_.CommTrStartUpDelay = n;
      return;
    case SettingKey::PingInvToMonitSoft:
      settings_.PingInvToMonitSoft = n;
      if (host_ == HostKind::Service) {
        effects_.PingMonitSoft();
      }
      effects_.ApplyPingInterval();
      return;
    case SettingKey::EncrMarker:
      settings_.EncrMarker = static_cast<uint8_t>(n);
      return;
    case SettingKey::ReceiverNumber:
      settings_.ReceiverNumber = n;
      return;
    case SettingKey::LineNumber:
      settings_.LineNumber = n;
      return;
    case SettingKey::EncryptionKey:
      settings_.EncryptionKey = check.text;
      return;
    case SettingKey::AutoStartUp:
    case SettingKey::SystemTray:
    case SettingKey::PlaySounds:
      break;
  }
  throw std::invalid_argument(fmt::format("{} is no engine setting", SettingDefOf(key).name));
}

}  // namespace talvero
