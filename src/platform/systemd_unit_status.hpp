#pragma once

#include <cstdint>
#include <string_view>

#include "platform/service_control.hpp"

namespace talvero {

// The state the console sees for a unit's ActiveState.
ServiceState StateOfActiveState(std::string_view activeState);

// systemd gives neither a check point nor a wait hint, but the console waits
// for a start or a stop by polling while the check point grows and leaves when
// it falls. So every query after a request counts up from 1, a poll every
// kPollMs, and falls to 0 for good once the unit has no job left (its state
// will not move by itself any more) or after kMaxPolls polls (30 s), which
// bounds the wait for a unit that hangs in activating.
class SynthesizedProgress {
 public:
  static constexpr std::uint32_t kPollMs = 250;
  static constexpr std::uint32_t kMaxPolls = 120;

  void RequestSent();
  bool Requested() const { return requested_; }
  // The status of the next query, which found the unit in this state and
  // with or without a pending job.
  ServiceStatus Next(ServiceState state, bool jobPending);

 private:
  bool requested_ = false;
  // Once the count has fallen it stays at 0 until the next request.
  bool ended_ = false;
  std::uint32_t queries_ = 0;
};

}  // namespace talvero
