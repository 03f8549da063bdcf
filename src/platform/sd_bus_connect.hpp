#pragma once

#include <chrono>
#include <string>

#include "platform/sd_bus_handles.hpp"

namespace talvero {

// A bus connection that is up (authenticated and greeted by the bus), its
// method calls bounded by the time-out; null when that does not happen within
// the time-out. An empty address is the system bus (DBUS_SYSTEM_BUS_ADDRESS,
// else its usual socket).
SdBus ConnectBus(const std::string& address, std::chrono::milliseconds timeout);

}  // namespace talvero
