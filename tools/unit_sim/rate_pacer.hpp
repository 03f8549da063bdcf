#pragma once

#include <chrono>
#include <cstddef>

namespace talvero {

// Spreads frames evenly at a target rate: credit grows with time at the rate,
// each frame spends one. Credit that cannot be spent (every unit still waits
// for an answer) is capped at burstCap, so a stall is not followed by an
// unbounded burst.
class RatePacer {
 public:
  using Clock = std::chrono::steady_clock;

  RatePacer(double perSecond, double burstCap);

  void Start(Clock::time_point now);
  // Frames that may go out at now.
  size_t Available(Clock::time_point now);
  void Take();
  // How long until the next frame may go out, at least one millisecond.
  Clock::duration UntilNext() const;

 private:
  double perSecond_;
  double burstCap_;
  double credit_ = 0;
  Clock::time_point last_{};
};

}  // namespace talvero
