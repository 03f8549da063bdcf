#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/transport.hpp"

namespace talvero::testing {

// A route in memory: records every frame sent through it, and can be made to
// fail as a reset connection would. A UDP binding's peer is whatever the test
// sets before handing over the next datagram.
class FakeTransport final : public Transport {
 public:
  FakeTransport(TransportKind kind, std::string address, uint16_t port)
      : kind(kind), address(std::move(address)), port(port) {}

  TransportKind Kind() const override { return kind; }
  void Send(std::string_view data) override;
  std::string PeerAddress() const override { return address; }
  uint16_t PeerPort() const override { return port; }

  TransportKind kind;
  std::string address;
  uint16_t port;
  bool fail = false;       // Send throws while set
  bool peerFault = false;  // Send throws PeerFault while set (the unit does not read)
  std::vector<std::string> sent;
};

inline std::shared_ptr<FakeTransport> MakeTcpRoute(std::string address, uint16_t port) {
  return std::make_shared<FakeTransport>(TransportKind::Tcp, std::move(address), port);
}

inline std::shared_ptr<FakeTransport> MakeUdpBinding(std::string address, uint16_t port) {
  return std::make_shared<FakeTransport>(TransportKind::Udp, std::move(address), port);
}

}  // namespace talvero::testing
