#include "support/virtual_time.hpp"

#include <stdexcept>

namespace talvero::testing {

class VirtualTime::VirtualTimer final : public Timer {
 public:
  VirtualTimer(VirtualTime& owner, TimerKind kind, std::function<void()> onTick)
      : owner_(owner), kind_(kind), onTick_(std::move(onTick)) {}
  ~VirtualTimer() override { Stop(); }

  void Start(std::chrono::milliseconds interval) override {
    Stop();
    interval_ = interval;
    running_ = true;
    owner_.Schedule(this, owner_.now_.ms + interval_.count());
  }

  void Stop() override {
    if (running_) {
      owner_.Cancel(this);
      running_ = false;
    }
  }

  bool Running() const override { return running_; }

  void Fire() {
    if (kind_ == TimerKind::Periodic) {
      owner_.Schedule(this, owner_.now_.ms + std::max<int64_t>(interval_.count(), 1));
    } else {
      running_ = false;
    }
    const auto onTick = onTick_;  // the handler may destroy its own timer
    onTick();
  }

 private:
  VirtualTime& owner_;
  TimerKind kind_;
  std::function<void()> onTick_;
  std::chrono::milliseconds interval_{0};
  bool running_ = false;
};

VirtualTime::VirtualTime(TDateTime start) : now_(start) {}

VirtualTime::~VirtualTime() = default;

std::unique_ptr<Timer> VirtualTime::MakeTimer(TimerKind kind, std::function<void()> onTick) {
  return std::make_unique<VirtualTimer>(*this, kind, std::move(onTick));
}

void VirtualTime::Schedule(VirtualTimer* timer, int64_t dueMs) {
  due_.emplace(std::make_pair(dueMs, sequence_++), timer);
}

void VirtualTime::Cancel(VirtualTimer* timer) {
  for (auto it = due_.begin(); it != due_.end();) {
    it = it->second == timer ? due_.erase(it) : std::next(it);
  }
}

void VirtualTime::Advance(std::chrono::milliseconds span) {
  const int64_t end = now_.ms + span.count();
  while (!due_.empty() && due_.begin()->first.first <= end) {
    auto first = due_.begin();
    VirtualTimer* timer = first->second;
    now_.ms = first->first.first;
    due_.erase(first);
    timer->Fire();
  }
  now_.ms = end;
}

TDateTime At(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  const auto moment = EncodeDateTime({year, month, day, hour, minute, second, millisecond});
  if (!moment) {
    throw std::invalid_argument("At: not a valid date and time");
  }
  return *moment;
}

}  // namespace talvero::testing
