#include "hosts/net_address.hpp"

#include <algorithm>
#include <cctype>

#include "base/decimal.hpp"

namespace talvero {
namespace {

bool IsNameChar(unsigned char c) {
  return std::isalnum(c) != 0 || c == '.' || c == '-';
}

bool IsIpv6Char(unsigned char c) {
  return std::isxdigit(c) != 0 || c == ':' || c == '.';
}

bool IsValidHost(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    const std::string_view inner = host.substr(1, host.size() - 2);
    return std::all_of(inner.begin(), inner.end(), IsIpv6Char);
  }
  return !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), IsNameChar);
}

}  // namespace

std::optional<NetAddress> ParseNetAddress(std::string_view text, std::string_view emptyHost) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<unsigned> port = ParseDecimal<unsigned>(text.substr(colon + 1));
  if (!port || *port == 0 || *port > 65535) {
    return std::nullopt;
  }
  std::string_view host = text.substr(0, colon);
  if (host.empty()) {
    host = emptyHost;
  }
  if (!IsValidHost(host)) {
    return std::nullopt;
  }
  return NetAddress{std::string(host), static_cast<uint16_t>(*port)};
}

std::optional<NetAddress> ParseStationAddress(std::string_view text) {
  constexpr std::string_view kScheme = "tcp:";
  if (!text.starts_with(kScheme)) {
    return std::nullopt;
  }
  return ParseNetAddress(text.substr(kScheme.size()), {});
}

std::string NetAddressText(const NetAddress& address) {
  return address.host + ":" + std::to_string(address.port);
}

}  // namespace talvero
