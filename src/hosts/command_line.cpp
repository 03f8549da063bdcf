#include "hosts/command_line.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <optional>

#include "base/decimal.hpp"

namespace talvero {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// "-INSTALL", "/install" and the like: the switch name in upper case, or empty.
std::string RegistrationSwitch(std::string_view arg) {
  if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/') || arg.starts_with("--")) {
    return {};
  }
  const std::string name = Upper(arg.substr(1));
  return name == "INSTALL" || name == "UNINSTALL" || name == "SILENT" ? name : std::string{};
}

bool ParseHostPort(std::string_view text, CommandLine& line) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    return false;
  }
  const std::string_view port = text.substr(colon + 1);
  const std::optional<unsigned> value = ParseDecimal<unsigned>(port);
  if (!value || *value == 0 || *value > 65535) {
    return false;
  }
  line.uiHost = std::string(text.substr(0, colon));
  line.uiPort = static_cast<uint16_t>(*value);
  return true;
}

CommandLineResult Refuse(std::string error) {
  return {std::nullopt, std::move(error)};
}

}  // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string_view>& args) {
  CommandLine line;
  bool install = false;
  bool uninstall = false;
  bool service = false;
  bool monitor = false;
  bool help = false;
  bool version = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    const std::string registration = RegistrationSwitch(arg);
    if (!registration.empty()) {
      install |= registration == "INSTALL";
      uninstall |= registration == "UNINSTALL";
      line.silent |= registration == "SILENT";
      continue;
    }
    if (arg == "--service") {
      service = true;
      continue;
    }
    if (arg == "--monitor") {
      monitor = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      help = true;
      continue;
    }
    if (arg == "--version") {
      version = true;
      continue;
    }
    // Options with a value: "--name VALUE" or "--name=VALUE".
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name != "--home" && name != "--ui" && name != "--dev-dir" && name != "--metrics" &&
        name != "--station") {
      return Refuse(fmt::format("unknown option \"{}\"", arg));
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        return Refuse(fmt::format("{} needs a value", name));
      }
      value = args[++i];
    }
    if (value->empty()) {
      return Refuse(fmt::format("{} needs a value", name));
    }
    if (name == "--home") {
      line.home = std::string(*value);
    } else if (name == "--dev-dir") {
      line.devDir = std::string(*value);
    } else if (name == "--metrics") {
      line.metrics = ParseNetAddress(*value, "127.0.0.1");
      if (!line.metrics) {
        return Refuse(
            fmt::format("--metrics takes HOST:PORT with a port of 1 to 65535, not \"{}\"", *value));
      }
    } else if (name == "--station") {
      line.stationTcp = ParseStationAddress(*value);
      if (!line.stationTcp) {
        return Refuse(fmt::format(
            "--station takes tcp:HOST:PORT with a port of 1 to 65535, not \"{}\"", *value));
      }
    } else if (!ParseHostPort(*value, line)) {
      return Refuse(
          fmt::format("--ui takes HOST:PORT with a port of 1 to 65535, not \"{}\"", *value));
    }
  }

  if (install && uninstall) {
    return Refuse("-INSTALL and -UNINSTALL exclude each other");
  }
  if (line.silent && !install && !uninstall) {
    return Refuse("-SILENT goes with -INSTALL or -UNINSTALL");
  }
  if (service && monitor) {
    return Refuse("--service and --monitor exclude each other");
  }
  if (help) {
    line.mode = RunMode::Help;
  } else if (version) {
    line.mode = RunMode::Version;
  } else if (install) {
    line.mode = RunMode::Install;
  } else if (uninstall) {
    line.mode = RunMode::Uninstall;
  } else if (service) {
    line.mode = RunMode::Service;
  } else if (monitor) {
    line.mode = RunMode::Monitor;
  }
  return {line, {}};
}

std::string UsageText(std::string_view program) {
  return fmt::format(
      "Usage: {0} [--service | --monitor] [options]\n"
      "       {0} -INSTALL | -UNINSTALL [-SILENT] [options]\n"
      "\n"
      "  (no mode)        the service console, served as a web page\n"
      "  --service        run the receiver as the service host, in the foreground\n"
      "  --monitor        run the receiver with the operator monitor (web UI)\n"
      "  -INSTALL         register the systemd unit TalveroService.service\n"
      "  -UNINSTALL       remove the systemd unit\n"
      "  -SILENT          with -INSTALL or -UNINSTALL: print nothing on success\n"
      "\n"
      "Options:\n"
      "  --home DIR       the folder of Talvero.db, Talvero.ini and the logs\n"
      "                   (default: the folder of the executable)\n"
      "  --ui HOST:PORT   where the web UI listens (default 127.0.0.1:33666)\n"
      "  --dev-dir DIR    where serial devices are looked up (default /dev)\n"
      "  --metrics HOST:PORT\n"
      "                   serve Prometheus metrics at http://HOST:PORT/metrics\n"
      "                   (off by default; an empty HOST is 127.0.0.1)\n"
      "  --station tcp:HOST:PORT\n"
      "                   send the station lines to the monitoring software over\n"
      "                   TCP instead of the serial port SerialPort\n"
      "  --help           print this text\n"
      "  --version        print the program's version\n",
      program);
}

}  // namespace talvero
