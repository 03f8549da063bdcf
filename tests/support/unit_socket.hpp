#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace talvero::testing {

// A free port on 127.0.0.1 for both TCP and UDP at the moment of asking.
uint16_t FreePort();

// A unit talking over TCP or UDP to 127.0.0.1.
class UnitSocket {
 public:
  enum class Kind { Tcp, Udp };
  UnitSocket(Kind kind, uint16_t port);
  ~UnitSocket();
  UnitSocket(const UnitSocket&) = delete;
  UnitSocket& operator=(const UnitSocket&) = delete;

  bool connected() const { return fd_ >= 0; }
  void Send(const std::string& frame);
  // One answer (a read or a datagram), or nothing when none comes in time.
  std::optional<std::string> Receive(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

 private:
  int fd_ = -1;
};

}  // namespace talvero::testing
