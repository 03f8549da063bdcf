#include "platform/sd_bus_connect.hpp"

#include <cerrno>
#include <cstdint>

namespace talvero {
namespace {

SdBus OpenBus(const std::string& address, std::uint64_t timeoutUsec) {
  sd_bus* bus = nullptr;
  if (address.empty()) {
    if (sd_bus_open_system(&bus) < 0) {
      return nullptr;
    }
    SdBus owned(bus);
    if (sd_bus_set_method_call_timeout(bus, timeoutUsec) < 0) {
      return nullptr;
    }
    return owned;
  }
  if (sd_bus_new(&bus) < 0) {
    return nullptr;
  }
  SdBus owned(bus);
  if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
      sd_bus_set_method_call_timeout(bus, timeoutUsec) < 0 || sd_bus_start(bus) < 0) {
    return nullptr;
  }
  return owned;
}

// Opening only starts connecting; sd-bus would finish that inside the first
// call, with its own much longer time-outs for a bus that accepts the
// connection and then does not answer.
bool WaitUntilReady(sd_bus* bus, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const int ready = sd_bus_is_ready(bus);
    if (ready != 0) {
      return ready > 0;
    }
    const int processed = sd_bus_process(bus, nullptr);
    if (processed < 0) {
      return false;
    }
    if (processed > 0) {
      continue;
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    const int waited = sd_bus_wait(bus, static_cast<std::uint64_t>(left.count()));
    if (waited < 0 && waited != -EINTR) {
      return false;
    }
  }
}

}  // namespace

SdBus ConnectBus(const std::string& address, std::chrono::milliseconds timeout) {
  const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(timeout);
  SdBus bus = OpenBus(address, static_cast<std::uint64_t>(usec.count()));
  if (!bus || !WaitUntilReady(bus.get(), timeout)) {
    return nullptr;
  }
  return bus;
}

}  // namespace talvero
