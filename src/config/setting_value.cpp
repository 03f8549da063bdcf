#include "config/setting_value.hpp"

#include <fmt/format.h>

#include <limits>

#include "base/trim.hpp"

namespace talvero {
namespace {

// A device name never holds a control character. Whether it names a device
// (a "/" may lead below the device folder or out of it) the port decides, and
// refuses aloud: a silent COM1 would send the lines to another device.
bool IsUsableName(std::string_view name) {
  for (const char c : name) {
    if (IsControlChar(c)) {
      return false;
    }
  }
  return true;
}

SettingCheck Fallback(const SettingDef& def) {
  return {false, std::string(def.fallback), ParseSettingInt(def.fallback)};
}

}  // namespace

int32_t ParseSettingInt(std::string_view text) {
  if (text.empty()) {
    return -1;
  }
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return -1;
    }
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max()) {
      return -1;
    }
  }
  return static_cast<int32_t>(value);
}

SettingCheck ValidateSetting(const SettingDef& def, std::string_view trimmed) {
  const int32_t n = ParseSettingInt(trimmed);
  const bool inRange = n >= def.min && n <= def.max;
  switch (def.rule) {
    case SettingRule::Range:
      return inRange ? SettingCheck{true, std::string(trimmed), n} : Fallback(def);
    case SettingRule::RangeOrZero:
      return inRange || n == 0 ? SettingCheck{true, std::string(trimmed), n} : Fallback(def);
    case SettingRule::NameLength: {
      const auto length = static_cast<int64_t>(trimmed.size());
      if (length >= def.min && length <= def.max && IsUsableName(trimmed)) {
        return {true, std::string(trimmed), -1};
      }
      return {false, std::string(def.fallback), -1};
    }
    case SettingRule::FourDigits:
      return inRange ? SettingCheck{true, fmt::format("{:04d}", n), n} : Fallback(def);
    case SettingRule::Flag:
      if (trimmed == "0" || trimmed == "1") {
        return {true, std::string(trimmed), n};
      }
      return Fallback(def);
  }
  return Fallback(def);
}

}  // namespace talvero
