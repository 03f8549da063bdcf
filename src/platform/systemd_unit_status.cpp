#include "platform/systemd_unit_status.hpp"

namespace talvero {

ServiceState StateOfActiveState(std::string_view activeState) {
  if (activeState == "activating") {
    return ServiceState::StartPending;
  }
  if (activeState == "active") {
    return ServiceState::Running;
  }
  if (activeState == "inactive" || activeState == "failed") {
    return ServiceState::Stopped;
  }
  return ServiceState::Other;
}

void SynthesizedProgress::RequestSent() {
  requested_ = true;
  ended_ = false;
  queries_ = 0;
}

ServiceStatus SynthesizedProgress::Next(ServiceState state, bool jobPending) {
  if (!requested_ || ended_) {
    return {state, 0, 0};
  }
  ++queries_;
  // The first query after a request always counts 1, so that a 0 after it is
  // lower than what the console noted, even when the job ended at once.
  if (queries_ > 1 && (!jobPending || queries_ > kMaxPolls)) {
    ended_ = true;
    return {state, 0, 0};
  }
  return {state, queries_, kPollMs};
}

}  // namespace talvero
