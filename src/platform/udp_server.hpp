#pragma once

#include <array>
#include <memory>
#include <optional>

#include "engine/transport.hpp"
#include "platform/asio.hpp"
#include "platform/frame_delivery.hpp"

namespace talvero {

// The UDP server on all IPv4 addresses, which is also its binding: the route
// back to the sender of the most recent datagram. A replaced server is closed
// and released, so routes kept from it expire or fail on Send.
// Runs on the event thread.
class UdpServer final : public Transport, public std::enable_shared_from_this<UdpServer> {
 public:
  static constexpr size_t kDatagramLimit = 8192;

  // Binds; throws boost::system::system_error when the port cannot be had.
  UdpServer(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery);

  void Start();
  void Close();
  uint16_t LocalPort() const { return localPort_; }

  TransportKind Kind() const override { return TransportKind::Udp; }
  // Sends data as one datagram to the current peer; throws std::runtime_error on failure.
  void Send(std::string_view data) override;
  std::string PeerAddress() const override;
  uint16_t PeerPort() const override;

 private:
  void Receive();
  void OnReceive(const boost::system::error_code& ec, size_t length);

  boost::asio::ip::udp::socket socket_;
  FrameDelivery& delivery_;
  uint16_t localPort_ = 0;
  // One byte more than the limit tells a larger datagram, which the kernel
  // truncates silently, from one that fits exactly.
  std::array<char, kDatagramLimit + 1> buffer_{};
  boost::asio::ip::udp::endpoint sender_;
  std::optional<boost::asio::ip::udp::endpoint> peer_;
  bool closed_ = false;
};

}  // namespace talvero
