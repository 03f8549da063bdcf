#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace talvero {

// The serial devices present under devDir (ttyS*, ttyUSB*, ttyACM*), sorted by
// kind and number: the names the settings grid offers for "Serial Port".
std::vector<std::string> ListSerialPorts(const std::filesystem::path& devDir);

}  // namespace talvero
