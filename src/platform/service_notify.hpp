#pragma once

namespace talvero {

// Tells systemd the service's state; does nothing when systemd did not start us.
void NotifyServiceReady();
void NotifyServiceStopping();

}  // namespace talvero
