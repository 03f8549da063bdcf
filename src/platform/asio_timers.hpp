#pragma once

#include "base/timer.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// Timers on the host's event loop (one io_context, one thread).
class AsioTimerFactory final : public TimerFactory {
 public:
  explicit AsioTimerFactory(boost::asio::io_context& io) : io_(io) {}
  std::unique_ptr<Timer> MakeTimer(TimerKind kind, std::function<void()> onTick) override;

 private:
  boost::asio::io_context& io_;
};

}  // namespace talvero
