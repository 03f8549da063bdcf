#include "platform/systemd_service_control.hpp"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/sd_bus_connect.hpp"
#include "platform/sd_bus_handles.hpp"
#include "platform/systemd_unit_status.hpp"

namespace talvero {
namespace {

constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManager = "org.freedesktop.systemd1.Manager";
constexpr const char* kUnit = "org.freedesktop.systemd1.Unit";

class SystemdServiceControl final : public ServiceControl {
 public:
  SystemdServiceControl(const std::string& unitName, const SystemdBusSettings& settings)
      : unitName_(unitName), settings_(settings) {}

  bool Connect() override {
    bus_ = ConnectBus(settings_.address, settings_.callTimeout);
    return bus_ != nullptr;
  }

  bool OpenService() override {
    if (!bus_) {
      return false;
    }
    SdBusError error;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(bus_.get(), kSystemd, kManagerPath, kManager, "LoadUnit",
                                     error.get(), &reply, "s", unitName_.c_str());
    SdBusMessage owned(reply);
    const char* path = nullptr;
    if (r < 0 || sd_bus_message_read(reply, "o", &path) < 0) {
      return false;
    }
    const std::optional<std::string> loadState = UnitText(path, "LoadState");
    // A unit without a file is still loaded, as "not-found".
    if (!loadState || *loadState == "not-found") {
      return false;
    }
    unitPath_ = path;
    return true;
  }

  std::optional<ServiceStatus> QueryStatus() override {
    if (!bus_ || unitPath_.empty()) {
      return std::nullopt;
    }
    const std::optional<std::string> activeState = UnitText(unitPath_.c_str(), "ActiveState");
    if (!activeState) {
      return std::nullopt;
    }
    bool jobPending = false;
    if (progress_.Requested()) {
      const std::optional<bool> pending = JobPending();
      if (!pending) {
        return std::nullopt;
      }
      jobPending = *pending;
    }
    return progress_.Next(StateOfActiveState(*activeState), jobPending);
  }

  bool StartService() override { return Request("StartUnit"); }
  bool StopService() override { return Request("StopUnit"); }

 private:
  std::optional<std::string> UnitText(const char* path, const char* property) {
    SdBusError error;
    char* text = nullptr;
    if (sd_bus_get_property_string(bus_.get(), kSystemd, path, kUnit, property, error.get(),
                                   &text) < 0) {
      return std::nullopt;
    }
    std::string result(text);
    free(text);
    return result;
  }

  // Whether a start or stop job of the unit is still queued or running.
  std::optional<bool> JobPending() {
    SdBusError error;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_get_property(bus_.get(), kSystemd, unitPath_.c_str(), kUnit, "Job",
                                      error.get(), &reply, "(uo)");
    SdBusMessage owned(reply);
    std::uint32_t id = 0;
    const char* jobPath = nullptr;
    if (r < 0 || sd_bus_message_read(reply, "(uo)", &id, &jobPath) < 0) {
      return std::nullopt;
    }
    return id != 0;
  }

  bool Request(const char* method) {
    if (!bus_) {
      return false;
    }
    SdBusError error;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(bus_.get(), kSystemd, kManagerPath, kManager, method,
                                     error.get(), &reply, "ss", unitName_.c_str(), "replace");
    SdBusMessage owned(reply);
    if (r < 0) {
      return false;
    }
    progress_.RequestSent();
    return true;
  }

  const std::string unitName_;
  const SystemdBusSettings settings_;
  SdBus bus_;
  std::string unitPath_;
  SynthesizedProgress progress_;
};

}  // namespace

SystemdServiceControlFactory::SystemdServiceControlFactory(std::string unitName,
                                                           SystemdBusSettings bus)
    : unitName_(std::move(unitName)), bus_(std::move(bus)) {}

std::unique_ptr<ServiceControl> SystemdServiceControlFactory::Open() {
  return std::make_unique<SystemdServiceControl>(unitName_, bus_);
}

}  // namespace talvero
