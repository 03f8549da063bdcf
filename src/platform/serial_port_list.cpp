#include "platform/serial_port_list.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

#include "base/decimal.hpp"

namespace talvero {
namespace {

constexpr std::array<std::string_view, 3> kPrefixes{"ttyS", "ttyUSB", "ttyACM"};

// (kind, number) of a serial device name; nothing for any other name.
std::optional<std::pair<size_t, unsigned>> SerialName(std::string_view name) {
  for (size_t kind = 0; kind < kPrefixes.size(); ++kind) {
    if (name.starts_with(kPrefixes[kind])) {
      if (const auto number = ParseDecimal<unsigned>(name.substr(kPrefixes[kind].size()))) {
        return std::pair{kind, *number};
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> ListSerialPorts(const std::filesystem::path& devDir) {
  std::vector<std::tuple<size_t, unsigned, std::string>> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(devDir, error)) {
    const std::string name = entry.path().filename().string();
    if (const auto key = SerialName(name)) {
      found.emplace_back(key->first, key->second, name);
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& [kind, number, name] : found) {
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace talvero
