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
};

struct RegistrationResult {
  bool ok = false;
  std::string message;  // the success or failure text for the operator
};

std::string UnitFileText(const UnitFileSettings& settings);

// Writes the unit file into unitDir, reloads systemd and enables the unit.
RegistrationResult InstallService(ServiceManager& manager, const UnitFileSettings& settings,
                                  const std::filesystem::path& unitDir);
// Disables the unit, removes its file and reloads systemd.
RegistrationResult UninstallService(ServiceManager& manager, const std::filesystem::path& unitDir);

}  // namespace talvero
