#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/setting_table.hpp"

namespace talvero {

// The text as a decimal integer; -1 when it is none. Only the digits 0..9 make
// an integer: a sign, a hexadecimal prefix, a blank inside or a value above
// 2147483647 give -1, as no setting admits a negative number.
int32_t ParseSettingInt(std::string_view text);

struct SettingCheck {
  bool valid = false;   // false when the fallback was taken
  std::string text;     // the value to store and show
  int32_t number = -1;  // the value as a number; -1 for a name
};

// Judges a trimmed value by the rule of its key.
SettingCheck ValidateSetting(const SettingDef& def, std::string_view trimmed);

}  // namespace talvero
