#pragma once

#include <functional>
#include <mutex>
#include <string_view>
#include <utility>

#include "base/logger.hpp"
#include "engine/transport.hpp"

namespace talvero {

// Hands each received frame to the engine's frame handler while EngineLock is
// held, and keeps a failing handler from tearing down the event loop.
class FrameDelivery {
 public:
  using FrameHandler = std::function<void(const Route& route, std::string_view frame)>;

  FrameDelivery(Logger& log, std::mutex& engineLock) : log_(log), engineLock_(engineLock) {}

  void SetHandler(FrameHandler handler) { handler_ = std::move(handler); }
  // What must be done before answers leave: the transports call it before
  // every socket write, and it is cheap when there is nothing to do. It must
  // not throw.
  void SetBeforeAnswers(std::function<void()> beforeAnswers) {
    beforeAnswers_ = std::move(beforeAnswers);
  }
  void BeforeAnswersLeave() const {
    if (beforeAnswers_) {
      beforeAnswers_();
    }
  }
  // Whether answers may leave before the loop turn ends (AnswerBatch): not
  // while that would cost a sync the turn's end makes once for all.
  void SetEarlyAnswers(std::function<bool()> allowed) { earlyAnswers_ = std::move(allowed); }
  bool EarlyAnswersAllowed() const { return !earlyAnswers_ || earlyAnswers_(); }
  // A failure of the handler is reported with LogErr under eventName.
  void Deliver(const Route& route, std::string_view frame, std::string_view eventName);
  Logger& Log() const { return log_; }

 private:
  Logger& log_;
  std::mutex& engineLock_;
  FrameHandler handler_;
  std::function<void()> beforeAnswers_;
  std::function<bool()> earlyAnswers_;
};

}  // namespace talvero
