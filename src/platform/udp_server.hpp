#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  // Bytes of waiting datagrams the kernel keeps for the server (it doubles
  // the figure for its bookkeeping).
  static constexpr int kReceiveBuffer = 4 << 20;

  // Binds; throws boost::system::system_error when the port cannot be had.
  UdpServer(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery);

  void Start();
  void Close();
  uint16_t LocalPort() const { return localPort_; }

  TransportKind Kind() const override { return TransportKind::Udp; }
  // Sends data as one datagram to the current peer; throws std::runtime_error on
  // failure. The answers to a batch of datagrams leave together once the whole
  // batch is handled; a failure among them is reported under "RealSend".
  void Send(std::string_view data) override;
  std::string PeerAddress() const override;
  uint16_t PeerPort() const override;

 private:
  // Datagrams taken from the kernel in one call at most.
  static constexpr size_t kBatchSize = 32;

  // Room for one call's datagrams and their senders.
  struct Batch {
    Batch();
    // One byte more than the limit tells a larger datagram, which the kernel
    // truncates silently, from one that fits exactly. Left uninitialised: only
    // the pages datagrams reach become resident.
    std::array<std::array<char, kDatagramLimit + 1>, kBatchSize> buffers;
    std::array<sockaddr_in, kBatchSize> senders{};
    std::array<iovec, kBatchSize> vectors{};
    std::array<mmsghdr, kBatchSize> headers{};
  };

  struct Answer {
    boost::asio::ip::udp::endpoint to;
    std::string data;
  };

  void RaiseReceiveBuffer();
  void SendAnswers();
  // Waits until datagrams are waiting.
  void Receive();
  // Takes what waits, one batch, and hands each datagram on in order.
  void OnReadable(const boost::system::error_code& ec);

  boost::asio::ip::udp::socket socket_;
  FrameDelivery& delivery_;
  uint16_t localPort_ = 0;
  std::unique_ptr<Batch> batch_ = std::make_unique<Batch>();
  std::optional<boost::asio::ip::udp::endpoint> peer_;
  bool inBatch_ = false;
  std::vector<Answer> answers_;  // of the batch being handled
  bool closed_ = false;
};

}  // namespace talvero
