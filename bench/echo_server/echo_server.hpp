#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "echo_answer.hpp"
#include "platform/asio.hpp"

namespace talvero {

// The bare comparison server: TCP and UDP on one port, one io_context, no
// logs, no database, no engine. Each TCP read and each datagram gets its 15
// bytes; a TCP connection reads again once its answer is written.
class EchoServer {
 public:
  EchoServer(boost::asio::io_context& io, uint16_t port);

  void Start();
  void Stop();
  uint16_t Port() const { return port_; }

 private:
  void Accept();
  void Receive();

  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::ip::udp::socket udp_;
  uint16_t port_ = 0;
  std::array<char, 8193> datagram_{};
  boost::asio::ip::udp::endpoint sender_;
};

}  // namespace talvero
