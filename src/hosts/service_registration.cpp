#include "hosts/service_registration.hpp"

#include <fmt/format.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

namespace talvero {
namespace {

std::string UnitFileName() {
  return std::string(kServiceName) + ".service";
}

// systemd reads a % in any setting as the start of a specifier.
std::string PathSetting(const std::string& path) {
  std::string text;
  for (const char c : path) {
    text += c;
    if (c == '%') {
      text += '%';
    }
  }
  return text;
}

// ExecStart also expands $ and splits at blanks: quote what holds blanks,
// quotes or backslashes.
std::string ExecArgument(const std::string& arg) {
  std::string text;
  for (const char c : PathSetting(arg)) {
    text += c;
    if (c == '$') {
      text += '$';
    }
  }
  if (text.find_first_of(" \t\"\\'") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted + "\"";
}

RegistrationResult Failed(const char* verb, const std::string& error) {
  return {false,
          fmt::format("Service \"{}\" failed to {} with error: \"{}\"", kServiceDisplayName, verb,
                      error),
          {}};
}

}  // namespace

std::string UnitFileText(const UnitFileSettings& settings) {
  std::string execStart = ExecArgument(settings.executable.string()) + " --service";
  if (settings.homeGiven) {
    execStart += " --home " + ExecArgument(settings.home.string());
  }
  if (settings.devDir != kDefaultDevDir) {
    execStart += " --dev-dir " + ExecArgument(settings.devDir);
  }
  if (!settings.metrics.empty()) {
    execStart += " --metrics " + ExecArgument(settings.metrics);
  }
  if (!settings.station.empty()) {
    execStart += " --station " + ExecArgument(settings.station);
  }
  const std::string user =
      settings.user.empty() ? "" : fmt::format("User={}\n", PathSetting(settings.user));
  return fmt::format(
      "[Unit]\n"
      "Description={}\n"
      "After=network.target\n"
      "\n"
      "[Service]\n"
      "Type=notify\n"
      "ExecStart={}\n"
      "WorkingDirectory={}\n"
      "{}"
      "\n"
      "[Install]\n"
      "WantedBy=multi-user.target\n",
      // WorkingDirectory takes the path as it stands: quotes would become part of it.
      kServiceDisplayName, execStart, PathSetting(settings.home.string()), user);
}

std::string HomeOwner(const std::filesystem::path& home) {
  struct stat info {};
  if (stat(home.c_str(), &info) != 0 || info.st_uid == 0) {
    return {};
  }
  const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_name;
  }
  // systemd takes a number for an account that has no name.
  return std::to_string(info.st_uid);
}

RegistrationResult InstallService(ServiceManager& manager, const UnitFileSettings& settings,
                                  const std::filesystem::path& unitDir) {
  const auto path = unitDir / UnitFileName();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << UnitFileText(settings);
    file.close();
    if (!file) {
      return Failed("install",
                    fmt::format("cannot write {}: {}", path.string(), std::strerror(errno)));
    }
  }
  const bool running = manager.IsRunning();
  // Enabling only makes links between unit files: it works without a running systemd.
  std::vector<std::vector<std::string>> calls;
  if (running) {
    calls.push_back({"daemon-reload"});
  }
  calls.push_back({"enable", UnitFileName()});
  for (const auto& args : calls) {
    if (const auto error = manager.Systemctl(args); !error.empty()) {
      return Failed("install", error);
    }
  }
  RegistrationResult result{true, "Service installed successfully", {}};
  if (!running) {
    result.warning = fmt::format(
        "systemd is not running: {} is enabled and starts at the next boot", UnitFileName());
  }
  return result;
}

RegistrationResult UninstallService(ServiceManager& manager, const std::filesystem::path& unitDir) {
  const auto path = unitDir / UnitFileName();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return Failed("uninstall", fmt::format("{} is not installed", UnitFileName()));
  }
  const bool running = manager.IsRunning();
  // A service whose unit file is gone would run on, out of systemd's reach.
  std::vector<std::vector<std::string>> calls;
  if (running) {
    calls.push_back({"stop", UnitFileName()});
  }
  calls.push_back({"disable", UnitFileName()});
  for (const auto& args : calls) {
    if (const auto error = manager.Systemctl(args); !error.empty()) {
      return Failed("uninstall", error);
    }
  }
  if (!std::filesystem::remove(path, ec) || ec) {
    return Failed("uninstall", fmt::format("cannot remove {}: {}", path.string(), ec.message()));
  }
  if (running) {
    if (const auto error = manager.Systemctl({"daemon-reload"}); !error.empty()) {
      return Failed("uninstall", error);
    }
  }
  return {true, "Service uninstalled successfully", {}};
}

}  // namespace talvero
