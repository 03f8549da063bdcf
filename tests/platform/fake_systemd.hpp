#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvero::testing {

// One unit as the fake manager holds it.
struct FakeUnit {
  std::string loadState = "loaded";
  std::string activeState = "inactive";
  // A start or stop stays in activating or deactivating, with its job, for
  // this many reads of ActiveState, and then ends.
  int transitionReads = 0;
  // Where a start ends: "failed" for a unit that does not come up.
  std::string startEnd = "active";
  // When set, LoadUnit or StartUnit of the unit is refused with this D-Bus error.
  std::string loadError;
  std::string startError;
};

// A stand-in for systemd's manager on a bus: owns org.freedesktop.systemd1 and
// serves the Manager's LoadUnit, StartUnit and StopUnit and the
// units' LoadState, ActiveState and Job from a thread of its own. A name it
// does not hold loads as "not-found", as systemd does.
class FakeSystemd {
 public:
  // Throws std::runtime_error when it cannot serve on the bus.
  explicit FakeSystemd(const std::string& address);
  ~FakeSystemd();
  FakeSystemd(const FakeSystemd&) = delete;
  FakeSystemd& operator=(const FakeSystemd&) = delete;

  void SetUnit(const std::string& name, FakeUnit unit);
  std::string ActiveState(const std::string& name) const;
  // The method calls received, each "Method arg1 arg2".
  std::vector<std::string> Calls() const;

 private:
  struct Unit {
    FakeUnit settings;
    unsigned jobId = 0;
    int readsLeft = 0;
    std::string jobEnd;
  };

  void Serve(const std::string& address, std::promise<std::string>& ready);
  static int LoadUnit(sd_bus_message* m, void* self, sd_bus_error* error);
  static int StartUnit(sd_bus_message* m, void* self, sd_bus_error* error);
  static int StopUnit(sd_bus_message* m, void* self, sd_bus_error* error);
  static int FindUnit(sd_bus* bus, const char* path, const char* interface, void* self,
                      void** found, sd_bus_error* error);
  static int GetProperty(sd_bus* bus, const char* path, const char* interface, const char* property,
                         sd_bus_message* reply, void* self, sd_bus_error* error);
  int BeginJob(sd_bus_message* m, bool start, sd_bus_error* error);

  mutable std::mutex mutex_;
  std::map<std::string, Unit> units_;
  std::vector<std::string> calls_;
  unsigned lastJobId_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace talvero::testing
