#include "support/fake_transport.hpp"

#include <stdexcept>

namespace talvero::testing {

void FakeTransport::Send(std::string_view data) {
  if (peerFault) {
    throw PeerFault("send queue of " + address + " full");
  }
  if (fail) {
    throw std::runtime_error("connection reset by peer");
  }
  sent.emplace_back(data);
}

}  // namespace talvero::testing
