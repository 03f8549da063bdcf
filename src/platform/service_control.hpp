#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace talvero {

// The states the console tells apart; every other state of the manager is Other.
enum class ServiceState { StartPending, Running, Stopped, Other };

struct ServiceStatus {
  ServiceState state = ServiceState::Other;
  // Grows while a start or stop makes progress; a lower value than the last
  // one seen ends the console's wait.
  std::uint32_t checkPoint = 0;
  // How long to wait before the next query, in milliseconds.
  std::uint32_t waitHintMs = 0;
};

// One session with the service manager about the service TalveroService. The
// console makes the calls in this order: Connect, OpenService, then queries,
// a start or a stop; every call after a failed one is not made.
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // False when there is no service manager to talk to.
  virtual bool Connect() = 0;
  // False when the service is not installed (or cannot be opened).
  virtual bool OpenService() = 0;
  // Empty when the status cannot be read.
  virtual std::optional<ServiceStatus> QueryStatus() = 0;
  // False when the manager refuses the start or the stop.
  virtual bool StartService() = 0;
  virtual bool StopService() = 0;
};

// Makes one session for each console operation; the session ends with the object.
class ServiceControlFactory {
 public:
  virtual ~ServiceControlFactory() = default;
  virtual std::unique_ptr<ServiceControl> Open() = 0;
};

}  // namespace talvero
