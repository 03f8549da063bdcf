#include "platform/serial_device_path.hpp"

#include <array>
#include <optional>
#include <string>

#include "base/decimal.hpp"

namespace talvero {
namespace {

// A relative path that names something below the device folder: no NUL, not
// absolute, and not leading up out of the folder or to the folder itself.
std::optional<std::filesystem::path> InsideFolder(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::filesystem::path normal = std::filesystem::path(std::string(name)).lexically_normal();
  if (normal.empty() || normal == "." || *normal.begin() == "..") {
    return std::nullopt;
  }
  return normal;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != prefix[i]) {
      return false;
    }
  }
  return true;
}

struct NameRule {
  std::string_view prefix;  // lower case
  std::string_view device;
  unsigned lowest;  // COM ports count from 1, Linux devices from 0
};

constexpr std::array<NameRule, 3> kNameRules{{
    {"com", "ttyS", 1},
    {"usb", "ttyUSB", 0},
    {"acm", "ttyACM", 0},
}};

}  // namespace

std::optional<std::filesystem::path> SerialDevicePath(const std::filesystem::path& devDir,
                                                      std::string_view name) {
  const auto inside = InsideFolder(name);
  if (!inside) {
    return std::nullopt;
  }
  const std::filesystem::path asNamed = devDir / *inside;
  std::error_code ec;
  if (std::filesystem::exists(asNamed, ec) || name.find('/') != std::string_view::npos) {
    return asNamed;
  }
  for (const auto& rule : kNameRules) {
    if (!StartsWithNoCase(name, rule.prefix)) {
      continue;
    }
    const auto number = ParseDecimal<unsigned>(name.substr(rule.prefix.size()));
    if (number && *number >= rule.lowest) {
      return devDir / (std::string(rule.device) + std::to_string(*number - rule.lowest));
    }
  }
  return asNamed;
}

}  // namespace talvero
