#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/timer.hpp"
#include "platform/script_runner.hpp"
#include "platform/service_control.hpp"

namespace talvero {

// The console's five service buttons, as bits of a set; "Help" is always enabled.
enum ConsoleButton : uint8_t {
  kRunApplication = 1,
  kInstallService = 2,
  kUninstallService = 4,
  kStartService = 8,
  kStopService = 16,
};
using ConsoleButtons = uint8_t;
inline constexpr ConsoleButtons kAllConsoleButtons = 31;

enum class ConsoleIndicator { Error, Important };

// What the console window shows.
struct ConsoleView {
  std::string application = "Status: --";
  std::string service = "Service Status: --";
  ConsoleButtons enabled = kAllConsoleButtons;
  bool errorIndicator = false;
  bool importantIndicator = false;
  // An operation runs: the window takes no clicks and shows the busy cursor.
  bool busy = false;
  // A message box waits for its OK (BoxAnswered).
  std::optional<std::string> box;
  bool applicationRunning = false;

  friend bool operator==(const ConsoleView&, const ConsoleView&) = default;
};

// What the console needs of its host.
class ConsoleHost {
 public:
  virtual ~ConsoleHost() = default;
  virtual void ViewChanged() = 0;
  // Run Application: the monitor's start-up runs in this process now.
  virtual void StartMonitor() = 0;
  // The monitor has closed after Run Application: the program ends.
  virtual void CloseConsole() = 0;
  // What the status line has no room for: why a script failed, why Res.txt
  // could not be written.
  virtual void Note(const std::string& text) = 0;
};

struct ConsoleOptions {
  // The folder the service's logs lie below (the console's working folder).
  std::filesystem::path folder;
  // The install and uninstall scripts and the arguments they are given.
  std::filesystem::path installScript;
  std::filesystem::path uninstallScript;
  std::vector<std::string> scriptArgs;
};

// The service console: shows whether the service is installed and running,
// installs, removes, starts and stops it, watches its Errors and Imp_msg logs,
// and runs the monitor in its place. Everything runs on the event thread;
// waits for the service manager and for the scripts go on timers, and while
// one operation runs the window takes no other (the busy state).
//
//   Timer1 (5 s)   refreshes the status
//   Timer2 (5 s)   looks at the logs: a new error stops the service and
//                  arms Timer3; a new important message shows its indicator
//   Timer3 (300 s) starts the service again, once
class ServiceConsole {
 public:
  static constexpr std::chrono::milliseconds kStatusPeriod{5000};
  static constexpr std::chrono::milliseconds kWatchPeriod{5000};
  static constexpr std::chrono::milliseconds kRestartDelay{300000};
  // The manager's wait hints are honoured, but never below this, so a hint of
  // zero cannot make the wait spin; and no wait lasts longer than the bound.
  static constexpr std::chrono::milliseconds kShortestPoll{100};
  static constexpr std::chrono::milliseconds kLongestWait{60000};

  ServiceConsole(ConsoleOptions options, ServiceControlFactory& services, ScriptRunner& scripts,
                 TimerFactory& timers, ConsoleHost& host);
  ~ServiceConsole();
  ServiceConsole(const ServiceConsole&) = delete;
  ServiceConsole& operator=(const ServiceConsole&) = delete;

  const ConsoleView& View() const { return view_; }

  // The window became the active one: shown, or back after a dialog.
  void Activate();
  // A click on one of the five buttons; false when it is disabled or busy.
  bool Press(ConsoleButton button);
  // A click on a shown indicator hides it and gives the log to show.
  std::optional<std::filesystem::path> ClickIndicator(ConsoleIndicator indicator);
  // The operator said OK to the message box.
  void BoxAnswered();
  // The monitor started by Run Application has closed.
  void MonitorClosed();
  // The operator closes the console window; not while an operation runs.
  bool Close();

 private:
  struct Wait;
  // The status texts of the three ways a session with the manager can fail.
  struct SessionFailures {
    const char* noManager;
    const char* notInstalled;
    const char* noStatus;
  };

  // Connects, opens the service and reads its status; a failure is shown
  // with its text and buttons, and gives nothing.
  std::optional<ServiceStatus> OpenSession(ServiceControl& session, const SessionFailures& texts);
  void Refresh();
  void WatchLogs();
  void RestartTick();

  void Activation();
  void Begin();
  void End();
  void Install(bool install);
  void StartService();
  void StopService(std::function<void()> then);
  void WaitFor(ServiceState target, std::unique_ptr<ServiceControl> session, ServiceStatus status,
               std::function<void()> done);
  void PollWait();
  void RunApplication();

  void Show(std::string application, std::string service);
  void Show(std::string application, std::string service, ConsoleButtons enabled);
  void Changed();

  const ConsoleOptions options_;
  ServiceControlFactory& services_;
  ScriptRunner& scripts_;
  ConsoleHost& host_;
  ConsoleView view_;
  std::unique_ptr<Timer> timer1_;
  std::unique_ptr<Timer> timer2_;
  std::unique_ptr<Timer> timer3_;
  std::unique_ptr<Timer> pollTimer_;
  std::unique_ptr<Wait> wait_;
  std::function<void()> afterBox_;
  std::function<void()> afterOperation_;
  // Timer3 fired while an operation ran: the restart follows that operation.
  bool restartDue_ = false;
};

}  // namespace talvero
