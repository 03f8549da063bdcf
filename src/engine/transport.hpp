#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace talvero {

// A send the peer itself made impossible (it does not read its answers). It is
// the peer's doing, not a fault of the receiver, so it is told in "Imp_msg":
// nothing another host does may write to the "Errors" log.
class PeerFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Transport of a unit's last valid frame, as kept in its record and its file record.
enum class TransportKind : uint8_t { Unknown = 0, Tcp = 1, Udp = 2 };

// The way back to a unit: one accepted TCP connection, or the UDP server's
// binding (which always addresses the sender of its most recent datagram).
// The transports own these objects; unit records hold them weakly, so a route
// whose connection closed or whose UDP server was replaced is seen as gone and
// can never reach another unit.
class Transport {
 public:
  virtual ~Transport() = default;
  virtual TransportKind Kind() const = 0;
  // Writes data to the unit as one frame; throws std::runtime_error on failure
  // (a closed connection included), PeerFault when the peer caused it.
  virtual void Send(std::string_view data) = 0;
  virtual std::string PeerAddress() const = 0;  // dotted IPv4 text
  virtual uint16_t PeerPort() const = 0;
};

// The route a frame came by; null when it came by neither transport.
using Route = std::shared_ptr<Transport>;
// A route kept in a unit record.
using StoredRoute = std::weak_ptr<Transport>;

}  // namespace talvero
