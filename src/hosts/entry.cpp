#include "hosts/entry.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "hosts/command_line.hpp"
#include "hosts/console_host.hpp"
#include "hosts/monitor_host.hpp"
#include "hosts/service_host.hpp"
#include "hosts/service_registration.hpp"
#include "hosts/version.hpp"
#include "log/exe_folder.hpp"
#include "platform/service_manager.hpp"

namespace talvero {
namespace {

int Register(const CommandLine& line) {
  SystemdManager manager;
  RegistrationResult result;
  if (line.mode == RunMode::Install) {
    UnitFileSettings unit;
    std::error_code error;
    unit.executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
      std::fprintf(stderr, "Cannot find this program's own file: %s\n", error.message().c_str());
      return 1;
    }
    unit.home = std::filesystem::path(ExeFolder()).parent_path();
    unit.homeGiven = !line.home.empty();
    unit.devDir = line.devDir;
    unit.user = HomeOwner(unit.home);
    if (line.metrics) {
      unit.metrics = NetAddressText(*line.metrics);
    }
    if (line.stationTcp) {
      unit.station = "tcp:" + NetAddressText(*line.stationTcp);
    }
    result = InstallService(manager, unit, kUnitDir);
  } else {
    result = UninstallService(manager, kUnitDir);
  }
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
  }
  if (!result.warning.empty()) {
    std::fprintf(stderr, "Warning: %s\n", result.warning.c_str());
  }
  if (!line.silent) {
    std::printf("%s\n", result.message.c_str());
  }
  return 0;
}

}  // namespace

int RunProgram(int argc, char** argv) {
  const std::string_view program = argc > 0 ? argv[0] : "talvero";
  const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
  const CommandLineResult parsed = ParseCommandLine(args);
  if (!parsed.line) {
    std::fprintf(stderr, "%s: %s\n\n%s", std::string(program).c_str(), parsed.error.c_str(),
                 UsageText(program).c_str());
    return 2;
  }
  const CommandLine& line = *parsed.line;
  if (!line.home.empty()) {
    SetExeFolder(line.home);
  }
  switch (line.mode) {
    case RunMode::Help:
      std::printf("%s", UsageText(program).c_str());
      return 0;
    case RunMode::Version:
      std::printf("%s", VersionText().c_str());
      return 0;
    case RunMode::Install:
    case RunMode::Uninstall:
      return Register(line);
    case RunMode::Service:
      return RunServiceHost(line);
    case RunMode::Monitor:
      return RunMonitorHost(line);
    case RunMode::Console:
      return RunConsoleHost(line);
  }
  return 2;
}

}  // namespace talvero
