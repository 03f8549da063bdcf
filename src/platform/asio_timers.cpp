#include "platform/asio_timers.hpp"

#include "platform/asio.hpp"

namespace talvero {
namespace {

// The state lives apart from the Timer object, so a completion that is already
// queued when the Timer is destroyed finds it gone instead of freed memory.
struct TimerState {
  TimerState(boost::asio::io_context& io, TimerKind kind, std::function<void()> onTick)
      : timer(io), kind(kind), onTick(std::move(onTick)) {}

  boost::asio::steady_timer timer;
  TimerKind kind;
  std::function<void()> onTick;
  std::chrono::milliseconds interval{0};
  uint64_t generation = 0;
  bool running = false;
};

void Arm(const std::shared_ptr<TimerState>& state, std::chrono::steady_clock::time_point due) {
  state->timer.expires_at(due);
  // The generation tells a tick of this arming from one whose completion was
  // already queued when a later Start or Stop cancelled it.
  state->timer.async_wait([weak = std::weak_ptr<TimerState>(state),
                           generation = state->generation](const boost::system::error_code& ec) {
    const auto self = weak.lock();
    if (ec || !self || generation != self->generation) {
      return;
    }
    if (self->kind == TimerKind::Periodic) {
      Arm(self, self->timer.expiry() + self->interval);
    } else {
      self->running = false;
    }
    const auto onTick = self->onTick;  // the handler may destroy its own timer
    onTick();
  });
}

class AsioTimer final : public Timer {
 public:
  AsioTimer(boost::asio::io_context& io, TimerKind kind, std::function<void()> onTick)
      : state_(std::make_shared<TimerState>(io, kind, std::move(onTick))) {}

  ~AsioTimer() override { Stop(); }

  void Start(std::chrono::milliseconds interval) override {
    state_->interval = interval;
    ++state_->generation;
    state_->running = true;
    Arm(state_, std::chrono::steady_clock::now() + interval);
  }

  void Stop() override {
    ++state_->generation;
    state_->running = false;
    state_->timer.cancel();
  }

  bool Running() const override { return state_->running; }

 private:
  std::shared_ptr<TimerState> state_;
};

}  // namespace

std::unique_ptr<Timer> AsioTimerFactory::MakeTimer(TimerKind kind, std::function<void()> onTick) {
  return std::make_unique<AsioTimer>(io_, kind, std::move(onTick));
}

}  // namespace talvero
