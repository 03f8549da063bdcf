#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosts/net_address.hpp"
#include "platform/serial_device_path.hpp"

namespace talvero {

enum class RunMode {
  Console,    // the service console (no option)
  Monitor,    // the desktop host with its monitor (--monitor)
  Service,    // the service host in the foreground (--service)
  Install,    // register the systemd unit (-INSTALL)
  Uninstall,  // remove the systemd unit (-UNINSTALL)
  Help,       // print the usage text
  Version,    // print the program's version (--version)
};

struct CommandLine {
  RunMode mode = RunMode::Console;
  bool silent = false;  // -SILENT beside -INSTALL or -UNINSTALL
  std::string home;     // empty: the folder of the executable
  std::string uiHost = "127.0.0.1";
  uint16_t uiPort = 33666;
  std::string devDir{kDefaultDevDir};
  std::optional<NetAddress> metrics;     // --metrics: where /metrics is served
  std::optional<NetAddress> stationTcp;  // --station tcp:...: the station lines over TCP
};

struct CommandLineResult {
  std::optional<CommandLine> line;
  std::string error;  // why the command line was refused, when line is empty
};

// Reads the arguments after the program name. The registration switches are
// recognised anywhere, after "-" or "/", in any letter case.
CommandLineResult ParseCommandLine(const std::vector<std::string_view>& args);

std::string UsageText(std::string_view program);

}  // namespace talvero
