#include "hosts/service_console.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/text_file.hpp"
#include "support/fake_console_parts.hpp"
#include "support/fake_service_control.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;
using testing::FakeScriptRunner;
using testing::FakeServiceManager;
using testing::RecordingHost;

constexpr ConsoleButtons R = kRunApplication;
constexpr ConsoleButtons I = kInstallService;
constexpr ConsoleButtons U = kUninstallService;
constexpr ConsoleButtons S = kStartService;
constexpr ConsoleButtons T = kStopService;

class ServiceConsoleTest : public ::testing::Test {
 protected:
  ServiceConsoleTest() { std::filesystem::create_directory(home.path() / "Log_Service"); }

  ServiceConsole& Console() {
    if (!console) {
      console = std::make_unique<ServiceConsole>(ConsoleOptions{home.path(),
                                                                "/opt/talvero/install.sh",
                                                                "/opt/talvero/uninstall.sh",
                                                                {"--home", "/srv/alarm"}},
                                                 services, scripts, time, host);
    }
    return *console;
  }
  const ConsoleView& View() { return Console().View(); }

  // The status the console shows after its first display.
  void Shown() { Console().Activate(); }
  // One look at the logs, and the stop it may start run to its end.
  void Watch() { time.Advance(ServiceConsole::kWatchPeriod + seconds(1)); }

  std::filesystem::path Log(const char* name) { return home.path() / "Log_Service" / name; }
  void WriteLog(const char* name, std::filesystem::file_time_type when) {
    ReplaceFileWith(Log(name), "line\r\n");
    std::filesystem::last_write_time(Log(name), when);
  }
  std::string ResTxt() { return ReadWholeFile(Log("Res.txt")); }

  testing::TempDir home;
  testing::VirtualTime time{testing::At(2026, 12, 11, 9, 0, 0)};
  FakeServiceManager manager;
  testing::FakeServiceControlFactory services{manager};
  FakeScriptRunner scripts;
  RecordingHost host;
  std::unique_ptr<ServiceConsole> console;
};

struct StatusCase {
  const char* name;
  bool reachable;
  bool installed;
  bool queryFails;
  ServiceState state;
  const char* application;
  const char* service;
  ConsoleButtons enabled;
};

TEST_F(ServiceConsoleTest, EveryOutcomeOfTheStatusRefreshShowsItsTextsAndButtons) {
  const StatusCase cases[] = {
      {"no manager", false, true, false, ServiceState::Running, "Application Status:  Enabled",
       "Service Status:  Failed to check Services Manager.", R},
      {"not installed", true, false, false, ServiceState::Running, "Application Status:  Enabled",
       "Service Status:  Not installed.", R | I},
      {"query fails", true, true, true, ServiceState::Running, "Application Status:  Enabled",
       "Service Status:  [Installed] Failed to check service status.", R | U},
      {"start pending", true, true, false, ServiceState::StartPending,
       "Application Status:  Disabled", "Service Status:  [Installed] Start Pending...", T},
      {"running", true, true, false, ServiceState::Running, "Application Status:  Disabled",
       "Service Status:  [Installed] Running.", T},
      {"stopped", true, true, false, ServiceState::Stopped, "Application Status:  Enabled",
       "Service Status:  [Installed] Not Running.", R | U | S},
  };
  for (const StatusCase& c : cases) {
    console.reset();
    manager = FakeServiceManager{};
    manager.reachable = c.reachable;
    manager.installed = c.installed;
    manager.queryFails = c.queryFails;
    manager.state = c.state;
    Shown();
    EXPECT_EQ(View().application, c.application) << c.name;
    EXPECT_EQ(View().service, c.service) << c.name;
    EXPECT_EQ(View().enabled, c.enabled) << c.name;
    EXPECT_FALSE(View().busy) << c.name;
  }
}

TEST_F(ServiceConsoleTest, AnyOtherStateOnlySetsTheApplicationStatus) {
  manager.state = ServiceState::Stopped;
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));  // a button turns Timer1 on
  time.Advance(seconds(1));
  ASSERT_EQ(View().service, "Service Status:  Service started.");
  manager.state = ServiceState::Other;
  const std::string service = View().service;
  const ConsoleButtons enabled = View().enabled;
  time.Advance(ServiceConsole::kStatusPeriod);
  EXPECT_EQ(View().application, "Status: ");
  EXPECT_EQ(View().service, service);
  EXPECT_EQ(View().enabled, enabled);
}

TEST_F(ServiceConsoleTest, BeforeTheFirstDisplayTheTimersRunAndTheDisplayStopsThem) {
  manager.state = ServiceState::Stopped;
  Console();
  time.Advance(ServiceConsole::kStatusPeriod);
  EXPECT_EQ(View().service, "Service Status:  [Installed] Not Running.");
  Shown();
  manager.state = ServiceState::StartPending;
  time.Advance(minutes(10));
  // No refresh since, and the restart timer is off: nothing was started.
  EXPECT_EQ(View().service, "Service Status:  [Installed] Not Running.");
  EXPECT_EQ(manager.starts, 0);
}

TEST_F(ServiceConsoleTest, StartServiceWaitsForRunningAndThenRefreshesEveryFiveSeconds) {
  manager.state = ServiceState::Stopped;
  manager.startProgress = {{ServiceState::StartPending, 1, 2000},
                           {ServiceState::StartPending, 2, 2000}};
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));
  EXPECT_EQ(manager.starts, 1);
  EXPECT_EQ(View().application, "Application Status:  Disabled");
  EXPECT_EQ(View().service, "Service Status:  Service start pending...");
  EXPECT_TRUE(View().busy);
  EXPECT_FALSE(Console().Press(kStopService));  // the window takes no clicks meanwhile

  time.Advance(seconds(4));  // two waits of 2 s: both pending answers read
  EXPECT_TRUE(View().busy);
  time.Advance(seconds(2));  // the third answer: running
  EXPECT_FALSE(View().busy);
  EXPECT_EQ(View().application, "Application Status:  Disabled.");
  EXPECT_EQ(View().service, "Service Status:  Service started.");
  EXPECT_EQ(View().enabled, T);

  manager.state = ServiceState::Stopped;
  time.Advance(ServiceConsole::kStatusPeriod);
  EXPECT_EQ(View().service, "Service Status:  [Installed] Not Running.");
}

TEST_F(ServiceConsoleTest, AStartWaitEndsWhenTheCheckPointGoesBackOrTheQueryFails) {
  manager.state = ServiceState::Stopped;
  manager.startProgress = {{ServiceState::StartPending, 5, 1000},
                           {ServiceState::StartPending, 3, 1000}};
  manager.afterStart = ServiceState::StartPending;
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));
  time.Advance(seconds(1));
  EXPECT_TRUE(View().busy);
  time.Advance(seconds(1));
  EXPECT_FALSE(View().busy);
  EXPECT_EQ(View().service, "Service Status:  Service started.");  // though it never ran

  console.reset();
  manager = FakeServiceManager{};
  manager.startProgress = {{ServiceState::StartPending, 1, 1000}};
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));
  manager.queryFails = true;
  time.Advance(seconds(1));
  EXPECT_FALSE(View().busy);
  EXPECT_EQ(View().service, "Service Status:  Service started.");
}

TEST_F(ServiceConsoleTest, AWaitIsBoundedAndNeverSpinsOnAZeroHint) {
  manager.state = ServiceState::Stopped;
  for (uint32_t point = 1; point < 10'000; ++point) {
    manager.startProgress.push_back({ServiceState::StartPending, point, 0});
  }
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));
  time.Advance(ServiceConsole::kLongestWait - milliseconds(200));
  EXPECT_TRUE(View().busy);
  const int queries = manager.queries;
  EXPECT_LE(queries, ServiceConsole::kLongestWait / ServiceConsole::kShortestPoll + 2);
  time.Advance(milliseconds(200));
  EXPECT_FALSE(View().busy);
  EXPECT_EQ(View().service, "Service Status:  Service started.");
}

struct OperationCase {
  const char* name;
  std::function<void(FakeServiceManager&)> setUp;
  ConsoleButton button;
  const char* application;
  const char* service;
  ConsoleButtons enabled;
  int starts;
  int stops;
};

TEST_F(ServiceConsoleTest, StartAndStopShowEachOfTheirOutcomes) {
  const auto stopped = [](FakeServiceManager& m) { m.state = ServiceState::Stopped; };
  const auto running = [](FakeServiceManager& m) { m.state = ServiceState::Running; };
  const OperationCase cases[] = {
      {"start, no manager", [](FakeServiceManager& m) { m.reachable = false; }, kStartService,
       "Application Status:  Enabled",
       "Service Status:  Service start failed [Can not run Services Manager]", R, 0, 0},
      {"start, not installed", [](FakeServiceManager& m) { m.installed = false; }, kStartService,
       "Application Status:  Enabled",
       "Service Status:  Service start failed [Service not installed]", R | I, 0, 0},
      {"start, query fails", [](FakeServiceManager& m) { m.queryFails = true; }, kStartService,
       "Application Status:  Enabled",
       "Service Status:  Service start failed [Can not check current service status]", R | U, 0, 0},
      {"start, already running", running, kStartService, "Application Status:  Disabled",
       "Service Status:  Service is already running.", T, 0, 0},
      {"start, refused",
       [](FakeServiceManager& m) {
         m.state = ServiceState::Stopped;
         m.startRefused = true;
       },
       kStartService, "Application Status:  Enabled",
       "Service Status:  Service start failed [Can not start service]", R | U | S, 0, 0},
      {"start", stopped, kStartService, "Application Status:  Disabled.",
       "Service Status:  Service started.", T, 1, 0},
      {"stop, no manager", [](FakeServiceManager& m) { m.reachable = false; }, kStopService,
       "Application Status:  Enabled",
       "Service Status:  Failed to Stop [Can not run Services Manager]", R, 0, 0},
      {"stop, not installed", [](FakeServiceManager& m) { m.installed = false; }, kStopService,
       "Application Status:  Enabled", "Service Status:  Failed to Stop [Service not installed]",
       R | I, 0, 0},
      {"stop, query fails", [](FakeServiceManager& m) { m.queryFails = true; }, kStopService,
       "Application Status:  Enabled",
       "Service Status:  Failed to Stop [Can not check current service status]", R | U, 0, 0},
      {"stop, start pending", [](FakeServiceManager& m) { m.state = ServiceState::StartPending; },
       kStopService, "Application Status:  Enabled", "Service Status:  Not Running.", R | U | S, 0,
       0},
      {"stop", running, kStopService, "Application Status:  Enabled",
       "Service Status:  Service stopped.", R | U | S, 0, 1},
  };
  for (const OperationCase& c : cases) {
    console.reset();
    manager = FakeServiceManager{};
    c.setUp(manager);
    ASSERT_TRUE(Console().Press(c.button)) << c.name;  // every button is enabled at creation
    time.Advance(seconds(1));
    EXPECT_EQ(View().application, c.application) << c.name;
    EXPECT_EQ(View().service, c.service) << c.name;
    EXPECT_EQ(View().enabled, c.enabled) << c.name;
    EXPECT_EQ(manager.starts, c.starts) << c.name;
    EXPECT_EQ(manager.stops, c.stops) << c.name;
    EXPECT_FALSE(View().busy) << c.name;
  }
}

TEST_F(ServiceConsoleTest, ARefusedStopKeepsTheButtons) {
  manager.state = ServiceState::Running;
  Shown();
  manager.stopRefused = true;
  ASSERT_TRUE(Console().Press(kStopService));
  EXPECT_EQ(View().application, "Application Status:  Disabled");
  EXPECT_EQ(View().service, "Service Status:  Failed to Stop.");
  EXPECT_EQ(View().enabled, T);
}

TEST_F(ServiceConsoleTest, DisabledButtonsDoNothing) {
  manager.installed = false;
  Shown();
  EXPECT_FALSE(Console().Press(kStartService));
  EXPECT_FALSE(Console().Press(kUninstallService));
  EXPECT_TRUE(scripts.runs.empty());
  EXPECT_EQ(manager.starts, 0);
}

TEST_F(ServiceConsoleTest, InstallAndUninstallRunTheirScriptsAndReportHowTheyEnded) {
  manager.installed = false;
  Shown();
  ASSERT_TRUE(Console().Press(kInstallService));
  EXPECT_EQ(View().application, "Application Status:  Enabled");
  EXPECT_EQ(View().service, "Service Status:  Installing service...");
  EXPECT_TRUE(View().busy);
  EXPECT_EQ(scripts.runs, std::vector<std::string>{"install.sh"});
  EXPECT_EQ(scripts.lastArgs, (std::vector<std::string>{"--home", "/srv/alarm"}));
  time.Advance(minutes(1));  // the page stays live; nothing else happens meanwhile
  EXPECT_TRUE(View().busy);
  scripts.Finish({true, ""});
  EXPECT_EQ(View().service, "Service Status:  Service installed successfully.");
  EXPECT_EQ(View().enabled, R | U | S);
  EXPECT_FALSE(View().busy);

  ASSERT_TRUE(Console().Press(kUninstallService));
  EXPECT_EQ(View().service, "Service Status:  Uninstalling service...");
  scripts.Finish({true, ""});
  EXPECT_EQ(View().service, "Service Status:  Service uninstalled successfully.");
  EXPECT_EQ(View().enabled, R | I);
}

TEST_F(ServiceConsoleTest, AScriptThatFailsIsReportedAsAFailure) {
  manager.installed = false;
  Shown();
  ASSERT_TRUE(Console().Press(kInstallService));
  scripts.Finish({false, "ended with exit code 1"});
  EXPECT_EQ(View().application, "Application Status:  Enabled");
  EXPECT_EQ(View().service, "Service Status:  Failed to install service.");
  EXPECT_EQ(View().enabled, R | I);  // unchanged
  EXPECT_EQ(host.notes, std::vector<std::string>{"install.sh ended with exit code 1"});

  manager.installed = true;
  Shown();
  ASSERT_TRUE(Console().Press(kUninstallService));
  scripts.Finish({false, "did not end within 120 s and was stopped"});
  EXPECT_EQ(View().service, "Service Status:  Failed to uninstall service.");
}

TEST_F(ServiceConsoleTest, AScriptThatCannotStartShowsTheBoxThenTheFailure) {
  manager.installed = false;
  scripts.startable = false;
  Shown();
  ASSERT_TRUE(Console().Press(kInstallService));
  ASSERT_TRUE(View().box);
  EXPECT_EQ(*View().box, "Error launching the instaler!");
  EXPECT_TRUE(View().busy);
  Console().BoxAnswered();
  EXPECT_FALSE(View().box);
  EXPECT_FALSE(View().busy);
  EXPECT_EQ(View().application, "Application Status:  Enabled");
  EXPECT_EQ(View().service, "Service Status:  Failed to install service.");
  EXPECT_EQ(View().enabled, R | I);
}

TEST_F(ServiceConsoleTest, WithoutResTxtAnExistingErrorsLogStopsTheServiceAndRestartsItLater) {
  WriteLog("Errors.log", std::filesystem::file_time_type::clock::now() - minutes(1));
  manager.state = ServiceState::Running;
  Shown();  // running: the watch is on
  Watch();
  EXPECT_TRUE(View().errorIndicator);
  EXPECT_EQ(manager.stops, 1);
  EXPECT_EQ(View().service, "Service Status:  Service stopped.");
  const std::string res = ResTxt();
  EXPECT_EQ(res.size(), 19u + 2 + 2) << res;  // the error time, an empty second line
  EXPECT_EQ(res.substr(19), "\r\n\r\n");

  time.Advance(ServiceConsole::kRestartDelay - seconds(2));
  EXPECT_EQ(manager.starts, 0);
  time.Advance(seconds(2));
  EXPECT_EQ(manager.starts, 1);
  EXPECT_EQ(View().service, "Service Status:  Service started.");
  // Res.txt remembers the error: no second stop.
  time.Advance(minutes(1));
  EXPECT_EQ(manager.stops, 1);
}

TEST_F(ServiceConsoleTest, AnEmptySecondLineShowsNoImportantMessage) {
  const auto before = std::filesystem::file_time_type::clock::now() - minutes(5);
  WriteLog("Errors.log", before);
  WriteLog("Imp_msg.log", before + minutes(2));
  manager.state = ServiceState::Running;
  Shown();
  Watch();  // no Res.txt: both are new
  ASSERT_TRUE(View().importantIndicator);
  const std::string errorTime = ResTxt().substr(0, 19);
  ReplaceFileWith(Log("Res.txt"), errorTime + "\r\n\r\n");

  manager.state = ServiceState::Running;
  Shown();  // the indicators hidden, the watch on again
  WriteLog("Imp_msg.log", before + minutes(3));
  time.Advance(ServiceConsole::kWatchPeriod * 3);
  EXPECT_FALSE(View().importantIndicator);
  EXPECT_EQ(ResTxt(), errorTime + "\r\n\r\n");

  WriteLog("Errors.log", before + minutes(4));  // a new error fills the second line
  Watch();
  EXPECT_TRUE(View().errorIndicator);
  EXPECT_FALSE(View().importantIndicator);
  EXPECT_EQ(SplitLines(ResTxt()).size(), 2u);
  EXPECT_EQ(SplitLines(ResTxt())[1].size(), 19u);
}

TEST_F(ServiceConsoleTest, AnUnchangedErrorsLogChangesNothing) {
  WriteLog("Errors.log", std::filesystem::file_time_type::clock::now() - minutes(1));
  manager.state = ServiceState::Running;
  Shown();
  Watch();
  ASSERT_EQ(manager.stops, 1);
  const std::string res = ResTxt();
  const auto written = std::filesystem::last_write_time(Log("Res.txt"));
  manager.state = ServiceState::Running;
  Shown();
  time.Advance(ServiceConsole::kWatchPeriod * 4);
  EXPECT_FALSE(View().errorIndicator);
  EXPECT_EQ(manager.stops, 1);
  EXPECT_EQ(ResTxt(), res);
  EXPECT_EQ(std::filesystem::last_write_time(Log("Res.txt")), written);
}

TEST_F(ServiceConsoleTest, AnActivationOrARunningServiceCancelsAPendingRestart) {
  WriteLog("Errors.log", std::filesystem::file_time_type::clock::now() - minutes(1));
  manager.state = ServiceState::Running;
  Shown();
  Watch();
  ASSERT_EQ(manager.stops, 1);
  Console().Activate();
  time.Advance(ServiceConsole::kRestartDelay * 2);
  EXPECT_EQ(manager.starts, 0);

  WriteLog("Errors.log", std::filesystem::file_time_type::clock::now() + minutes(1));
  manager.state = ServiceState::Running;
  Shown();
  Watch();
  ASSERT_EQ(manager.stops, 2);
  manager.state = ServiceState::Running;  // started by somebody else meanwhile
  time.Advance(ServiceConsole::kStatusPeriod);
  EXPECT_EQ(View().service, "Service Status:  [Installed] Running.");
  time.Advance(ServiceConsole::kRestartDelay);
  EXPECT_EQ(manager.starts, 0);
}

TEST_F(ServiceConsoleTest, AClickOnAnIndicatorHidesItAndGivesItsLog) {
  const auto when = std::filesystem::file_time_type::clock::now() - minutes(1);
  WriteLog("Errors.log", when);
  WriteLog("Imp_msg.log", when);
  manager.state = ServiceState::Running;
  Shown();
  Watch();
  ASSERT_TRUE(View().errorIndicator && View().importantIndicator);
  EXPECT_EQ(Console().ClickIndicator(ConsoleIndicator::Important), Log("Imp_msg.log"));
  EXPECT_FALSE(View().importantIndicator);
  EXPECT_TRUE(View().errorIndicator);
  EXPECT_EQ(Console().ClickIndicator(ConsoleIndicator::Important), std::nullopt);
  EXPECT_EQ(Console().ClickIndicator(ConsoleIndicator::Error), Log("Errors.log"));
  EXPECT_FALSE(View().errorIndicator);
}

TEST_F(ServiceConsoleTest, RunApplicationRunsTheMonitorAndItsCloseEndsTheConsole) {
  manager.state = ServiceState::Stopped;
  Shown();
  ASSERT_TRUE(Console().Press(kRunApplication));
  EXPECT_EQ(host.monitorStarts, 1);
  EXPECT_EQ(View().application, "Application Status:  Running.");
  EXPECT_EQ(View().service, "Service Status:  Disabled.");
  EXPECT_EQ(View().enabled & R, 0);
  EXPECT_FALSE(Console().Press(kStartService));  // the console is hidden meanwhile
  WriteLog("Errors.log", std::filesystem::file_time_type::clock::now());
  time.Advance(ServiceConsole::kRestartDelay * 2);  // every timer is off
  EXPECT_EQ(manager.queries, 1);

  Console().MonitorClosed();
  EXPECT_EQ(View().application, "Application Status:  Closed.");
  EXPECT_EQ(View().service, "Service Status:  Enabled.");
  EXPECT_NE(View().enabled & R, 0);
  EXPECT_EQ(host.closes, 1);
}

TEST_F(ServiceConsoleTest, TheConsoleClosesOnlyWhenNoOperationRuns) {
  manager.state = ServiceState::Stopped;
  Shown();
  ASSERT_TRUE(Console().Press(kStartService));
  EXPECT_FALSE(Console().Close());
  time.Advance(seconds(1));
  EXPECT_TRUE(Console().Close());
  EXPECT_EQ(host.closes, 1);
}

TEST_F(ServiceConsoleTest, RunApplicationIsDisabledWhileTheServiceRuns) {
  manager.state = ServiceState::Running;
  Shown();
  EXPECT_FALSE(Console().Press(kRunApplication));
  EXPECT_EQ(host.monitorStarts, 0);
}

}  // namespace
}  // namespace talvero
