#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace talvero {

// Owners of sd-bus's reference-counted objects and of a call's error, so that
// every path out of a call frees them.
// Closes without flushing: every call here waits for its reply, so nothing is
// left to send, and a flush first waits, without a time-out of ours, for a
// connection that is still being set up.
struct SdBusCloser {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct SdBusMessageReleaser {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SdBusSlotReleaser {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

using SdBus = std::unique_ptr<sd_bus, SdBusCloser>;
using SdBusMessage = std::unique_ptr<sd_bus_message, SdBusMessageReleaser>;
using SdBusSlot = std::unique_ptr<sd_bus_slot, SdBusSlotReleaser>;

class SdBusError {
 public:
  SdBusError() = default;
  ~SdBusError() { sd_bus_error_free(&error_); }
  SdBusError(const SdBusError&) = delete;
  SdBusError& operator=(const SdBusError&) = delete;

  sd_bus_error* get() { return &error_; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

}  // namespace talvero
