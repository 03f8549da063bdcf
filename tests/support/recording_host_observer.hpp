#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "log/host_observer.hpp"

namespace talvero::testing {

// Records what the desktop host would show and play: sounds, counters and
// changed units.
class RecordingHostObserver final : public HostObserver {
 public:
  void PlaySnd(int index) override { sounds.push_back(index); }
  void CountUp(Counter counter) override { ++counts[counter]; }
  void UnitChanged(uint16_t unit) override { changedUnits.push_back(unit); }

  int Count(Counter counter) const {
    const auto it = counts.find(counter);
    return it == counts.end() ? 0 : it->second;
  }

  std::vector<int> sounds;
  std::map<Counter, int> counts;
  std::vector<uint16_t> changedUnits;
};

}  // namespace talvero::testing
