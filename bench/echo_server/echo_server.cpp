#include "echo_server.hpp"

#include <sys/socket.h>

#include <ctime>

namespace talvero {
namespace {

constexpr int kReceiveBuffer = 4 << 20;

namespace asio = boost::asio;
using asio::ip::tcp;
using asio::ip::udp;
using boost::system::error_code;

// One accepted connection: read, answer, read again.
class EchoConnection : public std::enable_shared_from_this<EchoConnection> {
 public:
  explicit EchoConnection(tcp::socket socket) : socket_(std::move(socket)) {}

  void Read() {
    socket_.async_read_some(asio::buffer(in_),
                            [self = shared_from_this()](const error_code& ec, size_t n) {
                              if (!ec) {
                                self->Answer(n);
                              }
                            });
  }

 private:
  void Answer(size_t n) {
    out_ = EchoAnswer(in_.data(), n, std::time(nullptr));
    asio::async_write(socket_, asio::buffer(out_),
                      [self = shared_from_this()](const error_code& ec, size_t) {
                        if (!ec) {
                          self->Read();
                        }
                      });
  }

  tcp::socket socket_;
  std::array<char, 4096> in_{};
  std::array<char, kEchoAnswerSize> out_{};
};

}  // namespace

EchoServer::EchoServer(asio::io_context& io, uint16_t port) : acceptor_(io), udp_(io) {
  acceptor_.open(tcp::v4());
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(tcp::endpoint(asio::ip::address_v4::any(), port));
  acceptor_.listen();
  port_ = acceptor_.local_endpoint().port();
  udp_.open(udp::v4());
  udp_.bind(udp::endpoint(asio::ip::address_v4::any(), port_));
  // The receiver's UDP buffer, so neither server loses a burst the other keeps.
  const int size = kReceiveBuffer;
  if (::setsockopt(udp_.native_handle(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    udp_.set_option(asio::socket_base::receive_buffer_size(size));
  }
  udp_.non_blocking(true);
}

void EchoServer::Start() {
  Accept();
  Receive();
}

void EchoServer::Stop() {
  error_code ignored;
  acceptor_.close(ignored);
  udp_.close(ignored);
}

void EchoServer::Accept() {
  acceptor_.async_accept([this](const error_code& ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) {
      return;
    }
    if (!ec) {
      std::make_shared<EchoConnection>(std::move(socket))->Read();
    }
    Accept();
  });
}

void EchoServer::Receive() {
  udp_.async_receive_from(asio::buffer(datagram_), sender_, [this](const error_code& ec, size_t n) {
    if (ec == asio::error::operation_aborted) {
      return;
    }
    if (!ec) {
      const auto answer = EchoAnswer(datagram_.data(), n, std::time(nullptr));
      error_code ignored;
      udp_.send_to(asio::buffer(answer), sender_, 0, ignored);
    }
    Receive();
  });
}

}  // namespace talvero
