#include "station/comm_trouble_limits.hpp"

#include <stdexcept>

namespace talvero {
namespace {

int32_t& DefaultOfLevel(Settings& settings, int level) {
  switch (level) {
    case 1:
      return settings.CommTrouble1;
    case 2:
      return settings.CommTrouble2;
    case 3:
      return settings.CommTrouble3;
    default:
      throw std::invalid_argument("communication-trouble level out of 1..3");
  }
}

}  // namespace

CommTrLimit CommTrDefaults(const Settings& settings) {
  return {settings.CommTrouble1, settings.CommTrouble2, settings.CommTrouble3};
}

void InitCommTrLimits(std::vector<CommTrLimit>& limits, const Settings& settings) {
  limits.assign(kUnitCount, CommTrDefaults(settings));
}

bool ChangeCommTrDefault(Settings& settings, std::vector<CommTrLimit>& limits, int level,
                         int64_t value) {
  int32_t& current = DefaultOfLevel(settings, level);
  const auto index = static_cast<size_t>(level - 1);
  if (value < 0 || value > 9999) {
    current = kBuiltInCommTrDefaults[index];
    return false;
  }
  const auto newValue = static_cast<int32_t>(value);
  for (CommTrLimit& limit : limits) {
    if (limit[index] == current) {
      limit[index] = newValue;
    }
  }
  current = newValue;
  return true;
}

}  // namespace talvero
