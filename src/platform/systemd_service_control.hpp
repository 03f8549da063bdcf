#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/service_control.hpp"

namespace talvero {

struct SystemdBusSettings {
  // The D-Bus address of the manager's bus; empty: the system bus.
  std::string address;
  // The longest any one call may take, so that a manager or bus that stops
  // answering gives a failure rather than a console that hangs. A reload of
  // systemd can hold the manager for seconds.
  std::chrono::milliseconds callTimeout{10000};
};

// Sessions with systemd's manager over D-Bus about one unit.
class SystemdServiceControlFactory final : public ServiceControlFactory {
 public:
  explicit SystemdServiceControlFactory(std::string unitName = "TalveroService.service",
                                        SystemdBusSettings bus = {});
  std::unique_ptr<ServiceControl> Open() override;

 private:
  std::string unitName_;
  SystemdBusSettings bus_;
};

}  // namespace talvero
