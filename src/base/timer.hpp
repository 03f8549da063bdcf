#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace talvero {

// A timer of the host's event loop. Handlers run on the event thread.
class Timer {
 public:
  virtual ~Timer() = default;
  // Starts the timer, or restarts it, so that the full interval counts from now.
  virtual void Start(std::chrono::milliseconds interval) = 0;
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
};

enum class TimerKind {
  Periodic,  // fires every interval until stopped
  OneShot,   // fires once, one interval after the last Start
};

class TimerFactory {
 public:
  virtual ~TimerFactory() = default;
  virtual std::unique_ptr<Timer> MakeTimer(TimerKind kind, std::function<void()> onTick) = 0;
};

}  // namespace talvero
