#include "platform/frame_delivery.hpp"

#include "base/guard.hpp"

namespace talvero {

void FrameDelivery::Deliver(const Route& route, std::string_view frame,
                            std::string_view eventName) {
  Guarded(log_, eventName, [&] {
    if (!handler_) {
      return;
    }
    const std::lock_guard<std::mutex> lock(engineLock_);
    handler_(route, frame);
  });
}

}  // namespace talvero
