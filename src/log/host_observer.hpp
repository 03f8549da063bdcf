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
  // Called before the line is written to its file; for the "All msg" channel
  // of the desktop host it comes from the background writer's thread.
  virtual void ChannelLine(std::string_view /*channel*/, std::string_view /*line*/,
                           bool /*blankBefore*/) {}
  // A channel with an indicator ("Imp_msg", "Errors") has written a line to its
  // file: its indicator starts blinking.
  virtual void IndicatorBlink(std::string_view /*channel*/) {}
  virtual void UnitChanged(uint16_t /*unit*/) {}
};

}  // namespace talvero
