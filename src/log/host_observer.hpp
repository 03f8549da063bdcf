#pragma once

#include <cstdint>
#include <string_view>

namespace talvero {

// Counters shown by the desktop host; they start at 0 with every start.
enum class Counter { ReceiveMsg, SendCmd, SendToMs };

// What the desktop host hears about from the engine and the logs: sounds,
// counters, channel lines and unit changes. The service host leaves it silent.
class HostObserver {
 public:
  virtual ~HostObserver() = default;
  virtual void PlaySnd(int /*index 0..5*/) {}
  virtual void CountUp(Counter /*counter*/) {}
  // A line of a log channel ("All msg", "Imp_msg", "Errors"); blankBefore for
  // the empty line in front of a separated message.
  virtual void ChannelLine(std::string_view /*channel*/, std::string_view /*line*/,
                           bool /*blankBefore*/) {}
  virtual void UnitChanged(uint16_t /*unit*/) {}
};

}  // namespace talvero
