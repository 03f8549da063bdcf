#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

#include "base/clock.hpp"
#include "base/timer.hpp"

namespace talvero::testing {

// A clock and timers that move only when the test advances them, so rules of
// seconds and minutes are tested without sleeping. Timers fire in due order,
// each seeing Now() equal to its due time.
class VirtualTime final : public Clock, public TimerFactory {
 public:
  explicit VirtualTime(TDateTime start);
  ~VirtualTime() override;

  TDateTime Now() const override { return now_; }
  std::unique_ptr<Timer> MakeTimer(TimerKind kind, std::function<void()> onTick) override;

  void Advance(std::chrono::milliseconds span);
  // Moves the clock without firing timers (a wall-clock jump).
  void SetNow(TDateTime moment) { now_ = moment; }
  size_t PendingTimers() const { return due_.size(); }

 private:
  class VirtualTimer;
  friend class VirtualTimer;

  void Schedule(VirtualTimer* timer, int64_t dueMs);
  void Cancel(VirtualTimer* timer);

  TDateTime now_;
  uint64_t sequence_ = 0;
  // (due time, sequence) -> timer: equal due times fire in scheduling order.
  std::map<std::pair<int64_t, uint64_t>, VirtualTimer*> due_;
};

// Builds a local date and time for test fixtures; throws on bad parts, so the test fails.
TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int millisecond = 0);

}  // namespace talvero::testing
