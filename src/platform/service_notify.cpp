#include "platform/service_notify.hpp"

#include <systemd/sd-daemon.h>

namespace talvero {

void NotifyServiceReady() {
  sd_notify(0, "READY=1");
}

void NotifyServiceStopping() {
  sd_notify(0, "STOPPING=1");
}

}  // namespace talvero
