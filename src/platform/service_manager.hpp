#pragma once

#include <string>
#include <vector>

namespace talvero {

// The calls registration makes to the service manager.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // False when systemd is not the running init system (a container, a chroot,
  // an installer): systemctl then works on unit files alone.
  virtual bool IsRunning() = 0;
  // Runs systemctl with these arguments; gives its failure text, empty on success.
  virtual std::string Systemctl(const std::vector<std::string>& args) = 0;
};

// Runs the real systemctl and waits for it.
class SystemdManager final : public ServiceManager {
 public:
  bool IsRunning() override;
  std::string Systemctl(const std::vector<std::string>& args) override;
};

}  // namespace talvero
