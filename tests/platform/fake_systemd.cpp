#include "fake_systemd.hpp"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "platform/sd_bus_connect.hpp"
#include "platform/sd_bus_handles.hpp"

namespace talvero::testing {
namespace {

constexpr const char* kUnitPrefix = "/org/freedesktop/systemd1/unit";
constexpr const char* kNoSuchUnit = "org.freedesktop.systemd1.NoSuchUnit";

std::string UnitPath(const std::string& name) {
  char* path = nullptr;
  if (sd_bus_path_encode(kUnitPrefix, name.c_str(), &path) < 0) {
    return {};
  }
  std::string result(path);
  free(path);
  return result;
}

// The unit name of a unit's object path; empty for any other path.
std::string UnitName(const char* path) {
  char* name = nullptr;
  if (sd_bus_path_decode(path, kUnitPrefix, &name) <= 0) {
    return {};
  }
  std::string result(name);
  free(name);
  return result;
}

std::string JobPath(unsigned id) {
  return id == 0 ? "/" : "/org/freedesktop/systemd1/job/" + std::to_string(id);
}

}  // namespace

FakeSystemd::FakeSystemd(const std::string& address) {
  std::promise<std::string> ready;
  std::future<std::string> failure = ready.get_future();
  thread_ = std::thread([this, address, &ready] { Serve(address, ready); });
  const std::string text = failure.get();
  if (!text.empty()) {
    thread_.join();
    throw std::runtime_error("the fake systemd cannot serve: " + text);
  }
}

FakeSystemd::~FakeSystemd() {
  stop_ = true;
  thread_.join();
}

void FakeSystemd::SetUnit(const std::string& name, FakeUnit unit) {
  const std::lock_guard lock(mutex_);
  Unit entry;
  entry.settings = std::move(unit);
  units_[name] = std::move(entry);
}

std::string FakeSystemd::ActiveState(const std::string& name) const {
  const std::lock_guard lock(mutex_);
  const auto found = units_.find(name);
  return found == units_.end() ? std::string() : found->second.settings.activeState;
}

std::vector<std::string> FakeSystemd::Calls() const {
  const std::lock_guard lock(mutex_);
  return calls_;
}

void FakeSystemd::Serve(const std::string& address, std::promise<std::string>& ready) {
  const SdBus bus = ConnectBus(address, std::chrono::seconds(5));
  if (!bus) {
    ready.set_value("cannot connect");
    return;
  }
  sd_bus* raw = bus.get();
  const sd_bus_vtable manager[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("LoadUnit", "s", "o", &FakeSystemd::LoadUnit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("StartUnit", "ss", "o", &FakeSystemd::StartUnit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("StopUnit", "ss", "o", &FakeSystemd::StopUnit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  const sd_bus_vtable unit[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_PROPERTY("LoadState", "s", &FakeSystemd::GetProperty, 0, 0),
      SD_BUS_PROPERTY("ActiveState", "s", &FakeSystemd::GetProperty, 0, 0),
      SD_BUS_PROPERTY("Job", "(uo)", &FakeSystemd::GetProperty, 0, 0),
      SD_BUS_VTABLE_END,
  };
  sd_bus_slot* managerSlot = nullptr;
  sd_bus_slot* unitSlot = nullptr;
  if (sd_bus_add_object_vtable(raw, &managerSlot, "/org/freedesktop/systemd1",
                               "org.freedesktop.systemd1.Manager", manager, this) < 0 ||
      sd_bus_add_fallback_vtable(raw, &unitSlot, kUnitPrefix, "org.freedesktop.systemd1.Unit", unit,
                                 &FakeSystemd::FindUnit, this) < 0 ||
      sd_bus_request_name(raw, "org.freedesktop.systemd1", 0) < 0) {
    sd_bus_slot_unref(managerSlot);
    sd_bus_slot_unref(unitSlot);
    ready.set_value("cannot register or own the name");
    return;
  }
  const SdBusSlot managerOwner(managerSlot);
  const SdBusSlot unitOwner(unitSlot);
  ready.set_value({});
  while (!stop_) {
    const int r = sd_bus_process(raw, nullptr);
    // A bus that went away leaves nothing to serve; the thread waits for its end.
    if (r < 0) {
      break;
    }
    if (r == 0) {
      sd_bus_wait(raw, 20'000);
    }
  }
}

int FakeSystemd::LoadUnit(sd_bus_message* m, void* self, sd_bus_error* error) {
  auto& fake = *static_cast<FakeSystemd*>(self);
  const char* name = nullptr;
  if (const int r = sd_bus_message_read(m, "s", &name); r < 0) {
    return r;
  }
  {
    const std::lock_guard lock(fake.mutex_);
    fake.calls_.push_back(std::string("LoadUnit ") + name);
    const auto found = fake.units_.find(name);
    if (found == fake.units_.end()) {
      fake.units_[name].settings.loadState = "not-found";
    } else if (!found->second.settings.loadError.empty()) {
      return sd_bus_error_set(error, found->second.settings.loadError.c_str(), "refused");
    }
  }
  return sd_bus_reply_method_return(m, "o", UnitPath(name).c_str());
}

int FakeSystemd::StartUnit(sd_bus_message* m, void* self, sd_bus_error* error) {
  return static_cast<FakeSystemd*>(self)->BeginJob(m, true, error);
}

int FakeSystemd::StopUnit(sd_bus_message* m, void* self, sd_bus_error* error) {
  return static_cast<FakeSystemd*>(self)->BeginJob(m, false, error);
}

int FakeSystemd::BeginJob(sd_bus_message* m, bool start, sd_bus_error* error) {
  const char* name = nullptr;
  const char* mode = nullptr;
  if (const int r = sd_bus_message_read(m, "ss", &name, &mode); r < 0) {
    return r;
  }
  unsigned jobId = 0;
  {
    const std::lock_guard lock(mutex_);
    calls_.push_back(std::string(start ? "StartUnit " : "StopUnit ") + name + " " + mode);
    const auto found = units_.find(name);
    if (found == units_.end() || found->second.settings.loadState == "not-found") {
      return sd_bus_error_set(error, kNoSuchUnit, "not loaded");
    }
    Unit& unit = found->second;
    if (start && !unit.settings.startError.empty()) {
      return sd_bus_error_set(error, unit.settings.startError.c_str(), "refused");
    }
    unit.jobEnd = start ? unit.settings.startEnd : "inactive";
    if (unit.settings.transitionReads == 0) {
      unit.settings.activeState = unit.jobEnd;
      unit.jobId = 0;
    } else {
      unit.settings.activeState = start ? "activating" : "deactivating";
      unit.readsLeft = unit.settings.transitionReads;
      unit.jobId = ++lastJobId_;
    }
    jobId = unit.jobId == 0 ? ++lastJobId_ : unit.jobId;
  }
  return sd_bus_reply_method_return(m, "o", JobPath(jobId).c_str());
}

int FakeSystemd::FindUnit(sd_bus*, const char* path, const char*, void* self, void** found,
                          sd_bus_error*) {
  auto& fake = *static_cast<FakeSystemd*>(self);
  const std::lock_guard lock(fake.mutex_);
  if (fake.units_.count(UnitName(path)) == 0) {
    return 0;
  }
  *found = self;
  return 1;
}

int FakeSystemd::GetProperty(sd_bus*, const char* path, const char*, const char* property,
                             sd_bus_message* reply, void* self, sd_bus_error* error) {
  auto& fake = *static_cast<FakeSystemd*>(self);
  const std::lock_guard lock(fake.mutex_);
  const auto found = fake.units_.find(UnitName(path));
  if (found == fake.units_.end()) {
    return sd_bus_error_set(error, kNoSuchUnit, "gone");
  }
  Unit& unit = found->second;
  const std::string name = property;
  if (name == "LoadState") {
    return sd_bus_message_append(reply, "s", unit.settings.loadState.c_str());
  }
  if (name == "ActiveState") {
    if (unit.jobId != 0 && unit.readsLeft == 0) {
      unit.settings.activeState = unit.jobEnd;
      unit.jobId = 0;
    }
    if (unit.jobId != 0) {
      --unit.readsLeft;
    }
    return sd_bus_message_append(reply, "s", unit.settings.activeState.c_str());
  }
  return sd_bus_message_append(reply, "(uo)", unit.jobId, JobPath(unit.jobId).c_str());
}

}  // namespace talvero::testing
