#pragma once

#include <deque>
#include <memory>
#include <optional>

#include "platform/service_control.hpp"

namespace talvero::testing {

// A service manager whose answers the test sets. After a start or stop
// request the queries give the statuses of progress in turn, then state.
struct FakeServiceManager {
  bool reachable = true;
  bool installed = true;
  bool queryFails = false;
  bool startRefused = false;
  bool stopRefused = false;
  ServiceState state = ServiceState::Stopped;
  // What the state becomes once the progress after a request is used up.
  ServiceState afterStart = ServiceState::Running;
  ServiceState afterStop = ServiceState::Stopped;
  std::deque<ServiceStatus> startProgress;
  std::deque<ServiceStatus> stopProgress;
  std::deque<ServiceStatus> progress;
  std::optional<ServiceState> stateAfterProgress;
  int starts = 0;
  int stops = 0;
  int queries = 0;
};

class FakeServiceControlFactory final : public ServiceControlFactory {
 public:
  explicit FakeServiceControlFactory(FakeServiceManager& manager) : manager_(manager) {}

  std::unique_ptr<ServiceControl> Open() override { return std::make_unique<Session>(manager_); }

 private:
  class Session final : public ServiceControl {
   public:
    explicit Session(FakeServiceManager& m) : m_(m) {}
    bool Connect() override { return m_.reachable; }
    bool OpenService() override { return m_.installed; }
    std::optional<ServiceStatus> QueryStatus() override {
      ++m_.queries;
      if (m_.queryFails) {
        return std::nullopt;
      }
      if (!m_.progress.empty()) {
        const ServiceStatus next = m_.progress.front();
        m_.progress.pop_front();
        m_.state = next.state;
        if (m_.progress.empty() && m_.stateAfterProgress) {
          m_.state = *m_.stateAfterProgress;
        }
        return next;
      }
      return ServiceStatus{m_.state, 0, 0};
    }
    bool StartService() override {
      if (m_.startRefused) {
        return false;
      }
      ++m_.starts;
      Request(m_.startProgress, m_.afterStart);
      return true;
    }
    bool StopService() override {
      if (m_.stopRefused) {
        return false;
      }
      ++m_.stops;
      Request(m_.stopProgress, m_.afterStop);
      return true;
    }

   private:
    void Request(const std::deque<ServiceStatus>& progress, ServiceState after) {
      m_.progress = progress;
      m_.stateAfterProgress = after;
      if (progress.empty()) {
        m_.state = after;
      }
    }
    FakeServiceManager& m_;
  };

  FakeServiceManager& manager_;
};

}  // namespace talvero::testing
