#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace talvero {

// Where serial devices are looked for unless --dev-dir names another folder.
inline constexpr std::string_view kDefaultDevDir = "/dev";

// The device that a SerialPort name stands for under devDir: devDir/name when
// that exists; otherwise COMn is ttyS(n-1), USBn ttyUSBn, ACMn ttyACMn (the
// prefixes in any letter case), and any other name devDir/name. A name with a
// "/" ("pts/3") is a path below devDir and is never mapped. A name that would
// lead out of devDir, or to devDir itself (absolute, "..", ".", "pts/../.."),
// or that is empty or holds NUL, stands for no device: nullopt.
std::optional<std::filesystem::path> SerialDevicePath(const std::filesystem::path& devDir,
                                                      std::string_view name);

}  // namespace talvero
