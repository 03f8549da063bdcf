#include "hosts/service_registration.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using testing::ReadFile;

class FakeServiceManager final : public ServiceManager {
 public:
  bool IsRunning() override { return running; }
  std::string Systemctl(const std::vector<std::string>& args) override {
    std::string call;
    for (const auto& a : args) {
      call += (call.empty() ? "" : " ") + a;
    }
    calls.push_back(call);
    return call == failOn ? "Failed to connect to bus" : "";
  }
  bool running = true;
  std::vector<std::string> calls;
  std::string failOn;
};

UnitFileSettings Settings() {
  UnitFileSettings s;
  s.executable = "/opt/talvero/talvero";
  s.home = "/opt/talvero";
  return s;
}

TEST(ServiceRegistration, InstallWritesTheUnitReloadsAndEnables) {
  testing::TempDir dir;
  FakeServiceManager manager;
  const auto result = InstallService(manager, Settings(), dir.path());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "Service installed successfully");
  EXPECT_EQ(manager.calls,
            (std::vector<std::string>{"daemon-reload", "enable TalveroService.service"}));
  EXPECT_EQ(ReadFile(dir.path() / "TalveroService.service"),
            "[Unit]\n"
            "Description=Talvero\n"
            "After=network.target\n"
            "\n"
            "[Service]\n"
            "Type=notify\n"
            "ExecStart=/opt/talvero/talvero --service\n"
            "WorkingDirectory=/opt/talvero\n"
            "\n"
            "[Install]\n"
            "WantedBy=multi-user.target\n");
}

TEST(ServiceRegistration, TheUnitCarriesAGivenHomeAndDeviceFolderQuoted) {
  UnitFileSettings s = Settings();
  s.home = "/srv/alarm station";
  s.homeGiven = true;
  s.devDir = "/tmp/dev";
  const std::string text = UnitFileText(s);
  EXPECT_NE(text.find("ExecStart=/opt/talvero/talvero --service --home \"/srv/alarm station\" "
                      "--dev-dir /tmp/dev\n"),
            std::string::npos);
  // systemd takes WorkingDirectory as it stands: quotes would be part of the path.
  EXPECT_NE(text.find("WorkingDirectory=/srv/alarm station\n"), std::string::npos);
}

TEST(ServiceRegistration, TheUnitCarriesTheMetricsAndStationAddresses) {
  UnitFileSettings s = Settings();
  s.metrics = "127.0.0.1:9100";
  s.station = "tcp:[::1]:10001";
  EXPECT_NE(UnitFileText(s).find("ExecStart=/opt/talvero/talvero --service --metrics "
                                 "127.0.0.1:9100 --station tcp:[::1]:10001\n"),
            std::string::npos)
      << UnitFileText(s);
}

TEST(ServiceRegistration, TheUnitRunsAsTheGivenUser) {
  UnitFileSettings s = Settings();
  EXPECT_EQ(UnitFileText(s).find("User="), std::string::npos);
  s.user = "talvero";
  EXPECT_NE(UnitFileText(s).find("WorkingDirectory=/opt/talvero\nUser=talvero\n\n[Install]"),
            std::string::npos)
      << UnitFileText(s);
}

TEST(ServiceRegistration, TheHomeOwnerIsTheUserUnlessRoot) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "handing a folder to another owner needs root";
  }
  testing::TempDir dir;
  EXPECT_EQ(HomeOwner(dir.path()), "");
  EXPECT_EQ(HomeOwner(dir.path() / "missing"), "");
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  ASSERT_EQ(chown(dir.path().c_str(), nobody->pw_uid, 0), 0);
  EXPECT_EQ(HomeOwner(dir.path()), "nobody");
  // An owner without a name is given by number.
  const uid_t unnamed = 3999999;
  ASSERT_EQ(getpwuid(unnamed), nullptr);
  ASSERT_EQ(chown(dir.path().c_str(), unnamed, 0), 0);
  EXPECT_EQ(HomeOwner(dir.path()), "3999999");
}

TEST(ServiceRegistration, WithoutARunningSystemdTheUnitIsOnlyEnabledOrDisabled) {
  struct Case {
    bool running;
    std::vector<std::string> installCalls;
    std::vector<std::string> uninstallCalls;
    bool warned;
  };
  const Case cases[] = {
      {true,
       {"daemon-reload", "enable TalveroService.service"},
       {"stop TalveroService.service", "disable TalveroService.service", "daemon-reload"},
       false},
      {false, {"enable TalveroService.service"}, {"disable TalveroService.service"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.running ? "systemd running" : "systemd not running");
    testing::TempDir dir;
    FakeServiceManager manager;
    manager.running = c.running;
    const auto installed = InstallService(manager, Settings(), dir.path());
    EXPECT_TRUE(installed.ok);
    EXPECT_EQ(manager.calls, c.installCalls);
    EXPECT_EQ(installed.warning.empty(), !c.warned) << installed.warning;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "TalveroService.service"));

    manager.calls.clear();
    const auto uninstalled = UninstallService(manager, dir.path());
    EXPECT_TRUE(uninstalled.ok);
    EXPECT_EQ(manager.calls, c.uninstallCalls);
    EXPECT_EQ(uninstalled.warning, "");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "TalveroService.service"));
  }
}

TEST(ServiceRegistration, AServiceThatDoesNotStopStaysRegistered) {
  testing::TempDir dir;
  FakeServiceManager manager;
  ASSERT_TRUE(InstallService(manager, Settings(), dir.path()).ok);
  manager.failOn = "stop TalveroService.service";
  const auto result = UninstallService(manager, dir.path());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message,
            "Service \"Talvero\" failed to uninstall with error: \"Failed to connect to bus\"");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "TalveroService.service"));
}

TEST(ServiceRegistration, TheUnitEscapesWhatSystemdWouldExpand) {
  UnitFileSettings s = Settings();
  s.home = "/srv/100%/$HOME";
  s.homeGiven = true;
  const std::string text = UnitFileText(s);
  EXPECT_NE(text.find("ExecStart=/opt/talvero/talvero --service --home /srv/100%%/$$HOME\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("WorkingDirectory=/srv/100%%/$HOME\n"), std::string::npos) << text;
}

TEST(ServiceRegistration, FailuresNameTheServiceAndTheError) {
  testing::TempDir dir;
  FakeServiceManager manager;
  manager.failOn = "enable TalveroService.service";
  auto result = InstallService(manager, Settings(), dir.path());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.message,
            "Service \"Talvero\" failed to install with error: \"Failed to connect to bus\"");

  result = InstallService(manager, Settings(), dir.path() / "missing");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("failed to install with error: \"cannot write"), std::string::npos);
}

TEST(ServiceRegistration, UninstallDisablesRemovesAndReloads) {
  testing::TempDir dir;
  FakeServiceManager manager;
  ASSERT_TRUE(InstallService(manager, Settings(), dir.path()).ok);
  manager.calls.clear();
  const auto result = UninstallService(manager, dir.path());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.message, "Service uninstalled successfully");
  EXPECT_EQ(manager.calls,
            (std::vector<std::string>{"stop TalveroService.service",
                                      "disable TalveroService.service", "daemon-reload"}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "TalveroService.service"));

  const auto again = UninstallService(manager, dir.path());
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.message,
            "Service \"Talvero\" failed to uninstall with error: \"TalveroService.service is not "
            "installed\"");
}

TEST(ServiceRegistration, SystemdAcceptsTheUnitFileWithoutAWarning) {
  if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "systemd-analyze is not installed";
  }
  testing::TempDir dir;
  FakeServiceManager manager;
  UnitFileSettings s = Settings();
  s.executable = std::filesystem::read_symlink("/proc/self/exe");
  s.home = dir.path();
  s.homeGiven = true;
  s.user = "daemon";
  ASSERT_TRUE(InstallService(manager, s, dir.path()).ok);
  const std::string command =
      "systemd-analyze verify " + (dir.path() / "TalveroService.service").string() + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
    output += buffer;
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace talvero
