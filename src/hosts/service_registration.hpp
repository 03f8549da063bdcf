#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/serial_device_path.hpp"
#include "platform/service_manager.hpp"

namespace talvero {

inline constexpr const char* kServiceName = "TalveroService";
inline constexpr const char* kServiceDisplayName = "Talvero";
inline constexpr const char* kUnitDir = "/etc/systemd/system";

struct UnitFileSettings {
  std::filesystem::path executable;  // absolute
  std::filesystem::path home;        // absolute; the working folder of the service
  bool homeGiven = false;            // --home was on the command line
  std::string devDir{kDefaultDevDir};
  std::string user;  // the account the service runs as; empty: root
  // The --metrics and --station values given with -INSTALL, for the service's
  // command line; empty when not given.
  std::string metrics;
  std::string station;
};

struct RegistrationResult {
  bool ok = false;
  std::string message;  // the success or failure text for the operator
  std::string warning;  // what the operator must know even after a success
};

std::string UnitFileText(const UnitFileSettings& settings);

// The account the service should run as so that it can write its home: the
// owner of the folder, or empty when that is root or the folder cannot be read.
std::string HomeOwner(const std::filesystem::path& home);

// Writes the unit file into unitDir, reloads systemd and enables the unit.
// Without a running systemd the unit is only enabled, to start at the next boot.
RegistrationResult InstallService(ServiceManager& manager, const UnitFileSettings& settings,
                                  const std::filesystem::path& unitDir);
// Stops and disables the unit, removes its file and reloads systemd; without a
// running systemd it only disables the unit and removes its file.
RegistrationResult UninstallService(ServiceManager& manager, const std::filesystem::path& unitDir);

}  // namespace talvero
