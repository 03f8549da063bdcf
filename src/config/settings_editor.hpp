#pragma once

#include <string>
#include <string_view>

#include "base/host_kind.hpp"
#include "base/logger.hpp"
#include "config/setting_table.hpp"
#include "config/setting_value.hpp"
#include "config/settings_effects.hpp"
#include "engine/settings.hpp"

namespace talvero {

struct CheckSetResult {
  bool valid = false;  // false when the fallback was taken, or on a failure
  std::string text;    // the text to show; empty on a failure
};

// Validates and applies one setting at a time: the value, or its fallback, goes
// into Settings at once and sets its effects going.
class SettingsEditor {
 public:
  SettingsEditor(Settings& settings, SettingsEffects& effects, Logger& log, HostKind host);

  // For the indices 0..7 and 11..13; any other index is reported as a failure.
  CheckSetResult CheckSetValue(int index, std::string_view text);

  bool StartUpCompleted() const { return effects_.StartUpCompleted(); }
  Logger& Log() const { return log_; }
  HostKind Host() const { return host_; }

 private:
  void Apply(SettingKey key, const SettingCheck& check);

  Settings& settings_;
  SettingsEffects& effects_;
  Logger& log_;
  HostKind host_;
};

}  // namespace talvero
