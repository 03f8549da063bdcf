#include "hosts/service_console.hpp"

#include <algorithm>
#include <exception>
#include <utility>

#include "hosts/console_log_watch.hpp"

namespace talvero {
namespace {

constexpr const char* kAppEnabled = "Application Status:  Enabled";
constexpr const char* kAppDisabled = "Application Status:  Disabled";

constexpr ConsoleButtons R = kRunApplication;
constexpr ConsoleButtons I = kInstallService;
constexpr ConsoleButtons U = kUninstallService;
constexpr ConsoleButtons S = kStartService;
constexpr ConsoleButtons T = kStopService;

// Switches a timer on as a form's timer is enabled: one already running keeps its beat.
void On(Timer& timer, std::chrono::milliseconds period) {
  if (!timer.Running()) {
    timer.Start(period);
  }
}

}  // namespace

struct ServiceConsole::Wait {
  std::unique_ptr<ServiceControl> session;
  ServiceState target;
  uint32_t checkPoint;
  std::chrono::milliseconds interval;
  std::chrono::milliseconds waited;
  std::function<void()> done;
};

ServiceConsole::ServiceConsole(ConsoleOptions options, ServiceControlFactory& services,
                               ScriptRunner& scripts, TimerFactory& timers, ConsoleHost& host)
    : options_(std::move(options)), services_(services), scripts_(scripts), host_(host) {
  timer1_ = timers.MakeTimer(TimerKind::Periodic, [this] {
    if (!view_.busy) {
      Refresh();
    }
  });
  timer2_ = timers.MakeTimer(TimerKind::Periodic, [this] {
    if (!view_.busy) {
      WatchLogs();
    }
  });
  timer3_ = timers.MakeTimer(TimerKind::Periodic, [this] { RestartTick(); });
  pollTimer_ = timers.MakeTimer(TimerKind::OneShot, [this] { PollWait(); });
  timer1_->Start(kStatusPeriod);
  timer2_->Start(kWatchPeriod);
  timer3_->Start(kRestartDelay);
}

ServiceConsole::~ServiceConsole() = default;

void ServiceConsole::Activate() {
  if (!view_.busy && !view_.applicationRunning) {
    Activation();
  }
}

void ServiceConsole::Activation() {
  timer1_->Stop();
  timer2_->Stop();
  timer3_->Stop();
  Refresh();
  view_.errorIndicator = false;
  view_.importantIndicator = false;
  Changed();
}

bool ServiceConsole::Press(ConsoleButton button) {
  if (view_.busy || view_.applicationRunning || (view_.enabled & button) == 0) {
    return false;
  }
  switch (button) {
    case kRunApplication:
      RunApplication();
      break;
    case kInstallService:
      Install(true);
      break;
    case kUninstallService:
      Install(false);
      break;
    case kStartService:
      StartService();
      break;
    case kStopService:
      StopService({});
      break;
  }
  return true;
}

std::optional<std::filesystem::path> ServiceConsole::ClickIndicator(ConsoleIndicator indicator) {
  bool& shown =
      indicator == ConsoleIndicator::Error ? view_.errorIndicator : view_.importantIndicator;
  if (!shown) {
    return std::nullopt;
  }
  shown = false;
  Changed();
  return options_.folder /
         (indicator == ConsoleIndicator::Error ? kServiceErrorsLog : kServiceImportantLog);
}

void ServiceConsole::BoxAnswered() {
  if (!view_.box) {
    return;
  }
  view_.box.reset();
  // The box was the console's own: the window is the active one again.
  Activation();
  if (auto then = std::exchange(afterBox_, {})) {
    then();
  }
}

void ServiceConsole::MonitorClosed() {
  if (!view_.applicationRunning) {
    return;
  }
  view_.applicationRunning = false;
  view_.enabled |= R;
  Show("Application Status:  Closed.", "Service Status:  Enabled.");
  host_.CloseConsole();
}

bool ServiceConsole::Close() {
  if (view_.busy || view_.applicationRunning) {
    return false;
  }
  host_.CloseConsole();
  return true;
}

std::optional<ServiceStatus> ServiceConsole::OpenSession(ServiceControl& session,
                                                         const SessionFailures& texts) {
  if (!session.Connect()) {
    Show(kAppEnabled, texts.noManager, R);
    return std::nullopt;
  }
  if (!session.OpenService()) {
    Show(kAppEnabled, texts.notInstalled, R | I);
    return std::nullopt;
  }
  std::optional<ServiceStatus> status = session.QueryStatus();
  if (!status) {
    Show(kAppEnabled, texts.noStatus, R | U);
  }
  return status;
}

void ServiceConsole::Refresh() {
  const std::unique_ptr<ServiceControl> session = services_.Open();
  const std::optional<ServiceStatus> status =
      OpenSession(*session, {"Service Status:  Failed to check Services Manager.",
                             "Service Status:  Not installed.",
                             "Service Status:  [Installed] Failed to check service status."});
  if (!status) {
    return;
  }
  switch (status->state) {
    case ServiceState::StartPending:
      Show(kAppDisabled, "Service Status:  [Installed] Start Pending...", T);
      break;
    case ServiceState::Running:
      Show(kAppDisabled, "Service Status:  [Installed] Running.", T);
      On(*timer2_, kWatchPeriod);
      timer3_->Stop();
      break;
    case ServiceState::Stopped:
      Show(kAppEnabled, "Service Status:  [Installed] Not Running.", R | U | S);
      timer2_->Stop();
      break;
    case ServiceState::Other:
      view_.application = "Status: ";
      Changed();
      break;
  }
}

void ServiceConsole::WatchLogs() {
  const std::filesystem::path memoryFile = options_.folder / kWatchMemoryFile;
  const WatchFinding finding =
      LookAtLogs(ReadWatchMemory(memoryFile), ReadLogTimes(options_.folder));
  if (!finding.newError && !finding.newImportant) {
    return;
  }
  try {
    WriteWatchMemory(memoryFile, finding.memory);
  } catch (const std::exception& e) {
    host_.Note(e.what());
  }
  if (finding.newImportant) {
    view_.importantIndicator = true;
    Changed();
  }
  if (finding.newError) {
    view_.errorIndicator = true;
    Changed();
    StopService([this] { On(*timer3_, kRestartDelay); });
  }
}

void ServiceConsole::RestartTick() {
  timer3_->Stop();
  if (view_.busy) {
    restartDue_ = true;
    return;
  }
  StartService();
}

void ServiceConsole::Begin() {
  view_.busy = true;
  timer1_->Stop();
  Changed();
}

void ServiceConsole::End() {
  view_.busy = false;
  On(*timer1_, kStatusPeriod);
  Changed();
  if (auto then = std::exchange(afterOperation_, {})) {
    then();
  }
  if (std::exchange(restartDue_, false)) {
    StartService();
  }
}

void ServiceConsole::Install(bool install) {
  Begin();
  Show(kAppEnabled, install ? "Service Status:  Installing service..."
                            : "Service Status:  Uninstalling service...");
  // A script that fails is a failure, whatever the manager shows afterwards.
  const std::string failed = install ? "Service Status:  Failed to install service."
                                     : "Service Status:  Failed to uninstall service.";
  const bool started =
      scripts_.Run(install ? options_.installScript : options_.uninstallScript, options_.scriptArgs,
                   [this, install, failed](const ScriptOutcome& outcome) {
                     if (outcome.ok) {
                       Show(kAppEnabled,
                            install ? "Service Status:  Service installed successfully."
                                    : "Service Status:  Service uninstalled successfully.",
                            install ? R | U | S : R | I);
                     } else {
                       host_.Note((install ? "install.sh " : "uninstall.sh ") + outcome.failure);
                       Show(kAppEnabled, failed);
                     }
                     End();
                   });
  if (!started) {
    view_.box = "Error launching the instaler!";
    afterBox_ = [this, failed] {
      Show(kAppEnabled, failed);
      End();
    };
    Changed();
  }
}

void ServiceConsole::StartService() {
  Begin();
  std::unique_ptr<ServiceControl> session = services_.Open();
  const std::optional<ServiceStatus> status = OpenSession(
      *session, {"Service Status:  Service start failed [Can not run Services Manager]",
                 "Service Status:  Service start failed [Service not installed]",
                 "Service Status:  Service start failed [Can not check current service status]"});
  if (!status) {
    return End();
  }
  if (status->state == ServiceState::Running) {
    Show(kAppDisabled, "Service Status:  Service is already running.", T);
    return End();
  }
  if (!session->StartService()) {
    Show(kAppEnabled, "Service Status:  Service start failed [Can not start service]", R | U | S);
    return End();
  }
  Show(kAppDisabled, "Service Status:  Service start pending...");
  // Shown however the wait ended: the status refresh tells the rest.
  WaitFor(ServiceState::Running, std::move(session), *status, [this] {
    Show("Application Status:  Disabled.", "Service Status:  Service started.", T);
    On(*timer2_, kWatchPeriod);
    End();
  });
}

void ServiceConsole::StopService(std::function<void()> then) {
  Begin();
  afterOperation_ = std::move(then);
  std::unique_ptr<ServiceControl> session = services_.Open();
  const std::optional<ServiceStatus> status = OpenSession(
      *session, {"Service Status:  Failed to Stop [Can not run Services Manager]",
                 "Service Status:  Failed to Stop [Service not installed]",
                 "Service Status:  Failed to Stop [Can not check current service status]"});
  if (!status) {
    return End();
  }
  if (status->state != ServiceState::Running) {
    Show(kAppEnabled, "Service Status:  Not Running.", R | U | S);
    return End();
  }
  if (!session->StopService()) {
    Show(kAppDisabled, "Service Status:  Failed to Stop.");
    return End();
  }
  Show(kAppDisabled, "Service Status:  Service stop pending...");
  WaitFor(ServiceState::Stopped, std::move(session), *status, [this] {
    Show(kAppEnabled, "Service Status:  Service stopped.", R | U | S);
    timer2_->Stop();
    End();
  });
}

// While the service is not in the target state: note the check point, sleep
// for the wait hint, ask again; a failed query or a check point that went back
// ends the wait, and so does the bound.
void ServiceConsole::WaitFor(ServiceState target, std::unique_ptr<ServiceControl> session,
                             ServiceStatus status, std::function<void()> done) {
  if (status.state == target) {
    return done();
  }
  const auto interval = std::max<std::chrono::milliseconds>(
      std::chrono::milliseconds(status.waitHintMs), kShortestPoll);
  wait_ = std::make_unique<Wait>(Wait{std::move(session), target, status.checkPoint, interval,
                                      std::chrono::milliseconds(0), std::move(done)});
  pollTimer_->Start(interval);
}

void ServiceConsole::PollWait() {
  if (!wait_) {
    return;
  }
  wait_->waited += wait_->interval;
  const std::optional<ServiceStatus> status = wait_->session->QueryStatus();
  const bool over = !status || status->checkPoint < wait_->checkPoint ||
                    status->state == wait_->target || wait_->waited >= kLongestWait;
  if (over) {
    std::function<void()> done = std::move(wait_->done);
    wait_.reset();
    return done();
  }
  wait_->checkPoint = status->checkPoint;
  wait_->interval = std::max<std::chrono::milliseconds>(
      std::chrono::milliseconds(status->waitHintMs), kShortestPoll);
  pollTimer_->Start(wait_->interval);
}

void ServiceConsole::RunApplication() {
  host_.StartMonitor();
  view_.enabled &= static_cast<ConsoleButtons>(~R);
  timer1_->Stop();
  timer2_->Stop();
  timer3_->Stop();
  view_.applicationRunning = true;
  Show("Application Status:  Running.", "Service Status:  Disabled.");
}

void ServiceConsole::Show(std::string application, std::string service) {
  view_.application = std::move(application);
  view_.service = std::move(service);
  Changed();
}

void ServiceConsole::Show(std::string application, std::string service, ConsoleButtons enabled) {
  view_.enabled = enabled;
  Show(std::move(application), std::move(service));
}

void ServiceConsole::Changed() {
  host_.ViewChanged();
}

}  // namespace talvero
