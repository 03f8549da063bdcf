#include "hosts/service_registration.hpp"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

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
  return {false, fmt::format("Service \"{}\" failed to {} with error: \"{}\"", kServiceDisplayName,
                             verb, error)};
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
  return fmt::format(
      "[Unit]\n"
      "Description={}\n"
      "After=network.target\n"
      "\n"
      "[Service]\n"
      "Type=notify\n"
      "ExecStart={}\n"
      "WorkingDirectory={}\n"
      "\n"
      "[Install]\n"
      "WantedBy=multi-user.target\n",
      // WorkingDirectory takes the path as it stands: quotes would become part of it.
      kServiceDisplayName, execStart, PathSetting(settings.home.string()));
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
  for (const auto& args : {std::vector<std::string>{"daemon-reload"},
                           std::vector<std::string>{"enable", UnitFileName()}}) {
    if (const auto error = manager.Systemctl(args); !error.empty()) {
      return Failed("install", error);
    }
  }
  return {true, "Service installed successfully"};
}

RegistrationResult UninstallService(ServiceManager& manager, const std::filesystem::path& unitDir) {
  const auto path = unitDir / UnitFileName();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return Failed("uninstall", fmt::format("{} is not installed", UnitFileName()));
  }
  if (const auto error = manager.Systemctl({"disable", UnitFileName()}); !error.empty()) {
    return Failed("uninstall", error);
  }
  if (!std::filesystem::remove(path, ec) || ec) {
    return Failed("uninstall", fmt::format("cannot remove {}: {}", path.string(), ec.message()));
  }
  if (const auto error = manager.Systemctl({"daemon-reload"}); !error.empty()) {
    return Failed("uninstall", error);
  }
  return {true, "Service uninstalled successfully"};
}

}  // namespace talvero
