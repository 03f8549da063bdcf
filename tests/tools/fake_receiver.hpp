#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/asio.hpp"

namespace talvero::testing {

// A stand-in for the receiver on loopback, on a thread and loop of its own:
// every TCP read and every datagram is one frame, answered with what answer
// gives (nothing for an empty answer). With closeAfterFirst each TCP
// connection is closed after its first frame, unanswered.
class FakeReceiver {
 public:
  using Answer = std::function<std::string(const std::string& frame, int index)>;

  explicit FakeReceiver(Answer answer, bool closeAfterFirst = false);
  ~FakeReceiver();

  uint16_t TcpPort() const { return tcpPort_; }
  uint16_t UdpPort() const { return udpPort_; }
  int Frames() const { return frames_.load(); }

 private:
  class Connection;
  void Accept();
  void ReceiveDatagram();

  Answer answer_;
  bool closeAfterFirst_;
  boost::asio::io_context io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::ip::udp::socket udp_;
  boost::asio::ip::udp::endpoint sender_;
  std::array<char, 2048> datagram_{};
  std::vector<std::shared_ptr<Connection>> connections_;
  std::atomic<int> frames_{0};
  uint16_t tcpPort_ = 0;
  uint16_t udpPort_ = 0;
  std::thread thread_;
};

}  // namespace talvero::testing
