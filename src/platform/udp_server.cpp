#include "platform/udp_server.hpp"

#include <stdexcept>

#include "log/guard.hpp"

namespace talvero {

UdpServer::UdpServer(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery)
    : socket_(io), delivery_(delivery) {
  using boost::asio::ip::udp;
  // No address reuse: a second socket on the port would take some datagrams away.
  socket_.open(udp::v4());
  socket_.bind(udp::endpoint(boost::asio::ip::address_v4::any(), port));
  // A full send buffer fails the send instead of stalling the event thread.
  socket_.non_blocking(true);
  localPort_ = socket_.local_endpoint().port();
}

void UdpServer::Start() {
  Receive();
}

void UdpServer::Close() {
  if (closed_) {
    return;
  }
  closed_ = true;
  boost::system::error_code ignored;
  socket_.close(ignored);
}

void UdpServer::Send(std::string_view data) {
  if (closed_) {
    throw std::runtime_error("UDP server closed");
  }
  if (!peer_) {
    throw std::runtime_error("no UDP peer yet");
  }
  boost::system::error_code ec;
  socket_.send_to(boost::asio::buffer(data.data(), data.size()), *peer_, 0, ec);
  if (ec) {
    throw boost::system::system_error(ec, "send_to");
  }
}

std::string UdpServer::PeerAddress() const {
  return peer_ ? peer_->address().to_string() : std::string();
}

uint16_t UdpServer::PeerPort() const {
  return peer_ ? peer_->port() : 0;
}

void UdpServer::Receive() {
  socket_.async_receive_from(
      boost::asio::buffer(buffer_), sender_,
      [self = shared_from_this()](const boost::system::error_code& ec, size_t length) {
        self->OnReceive(ec, length);
      });
}

void UdpServer::OnReceive(const boost::system::error_code& ec, size_t length) {
  if (closed_) {
    return;
  }
  if (ec) {
    ReportFailure(delivery_.Log(), "IdUDPServer1UDPRead", ec.message());
  } else if (length <= kDatagramLimit) {
    peer_ = sender_;
    delivery_.Deliver(shared_from_this(), std::string_view(buffer_.data(), length),
                      "IdUDPServer1UDPRead");
  }
  if (!closed_) {
    Receive();
  }
}

}  // namespace talvero
