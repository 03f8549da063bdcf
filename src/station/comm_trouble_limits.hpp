#pragma once

#include <cstdint>
#include <vector>

#include "engine/settings.hpp"
#include "engine/unit_table.hpp"

namespace talvero {

// The built-in thresholds of levels 1..3, used when a setting is invalid.
inline constexpr CommTrLimit kBuiltInCommTrDefaults{15, 60, 240};

// CommTrouble1..3: the thresholds every unit starts from.
CommTrLimit CommTrDefaults(const Settings& settings);

// Start-up: every unit gets the defaults.
void InitCommTrLimits(std::vector<CommTrLimit>& limits, const Settings& settings);

// A new value for the default of level 1..3. A value in 0..9999 moves every
// unit still at the old default along and becomes the default; any other value
// makes the built-in value the default and leaves every unit as it is.
// Returns false when the built-in value was taken.
bool ChangeCommTrDefault(Settings& settings, std::vector<CommTrLimit>& limits, int level,
                         int64_t value);

}  // namespace talvero
