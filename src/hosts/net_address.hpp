#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvero {

// A host and a TCP port given on the command line.
struct NetAddress {
  std::string host;
  uint16_t port = 0;

  friend bool operator==(const NetAddress&, const NetAddress&) = default;
};

// Reads "HOST:PORT" with a port of 1 to 65535. The host is a name or an IPv4
// address (letters, digits, dots, hyphens) or an IPv6 address in brackets;
// an empty host becomes emptyHost, or is refused when emptyHost is empty.
std::optional<NetAddress> ParseNetAddress(std::string_view text, std::string_view emptyHost);

// Reads "tcp:HOST:PORT", the only scheme the station output knows besides the
// serial port; the host may not be empty.
std::optional<NetAddress> ParseStationAddress(std::string_view text);

// "HOST:PORT" again, as it is read.
std::string NetAddressText(const NetAddress& address);

}  // namespace talvero
