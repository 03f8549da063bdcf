#include "fake_receiver.hpp"

namespace talvero::testing {

namespace asio = boost::asio;
using boost::system::error_code;

class FakeReceiver::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(asio::ip::tcp::socket socket, FakeReceiver& owner)
      : socket_(std::move(socket)), owner_(owner) {}

  void Read() {
    socket_.async_read_some(
        asio::buffer(in_), [self = shared_from_this()](const error_code& ec, size_t n) {
          if (ec) {
            return;
          }
          const int index = self->owner_.frames_++;
          if (self->owner_.closeAfterFirst_) {
            error_code ignored;
            self->socket_.close(ignored);
            return;
          }
          const std::string answer = self->owner_.answer_(std::string(self->in_.data(), n), index);
          if (!answer.empty()) {
            error_code ignored;
            asio::write(self->socket_, asio::buffer(answer), ignored);
          }
          self->Read();
        });
  }

  void Close() {
    error_code ignored;
    socket_.close(ignored);
  }

 private:
  asio::ip::tcp::socket socket_;
  FakeReceiver& owner_;
  std::array<char, 2048> in_{};
};

FakeReceiver::FakeReceiver(Answer answer, bool closeAfterFirst)
    : answer_(std::move(answer)),
      closeAfterFirst_(closeAfterFirst),
      acceptor_(io_, {asio::ip::address_v4::loopback(), 0}),
      udp_(io_, {asio::ip::address_v4::loopback(), 0}) {
  tcpPort_ = acceptor_.local_endpoint().port();
  udpPort_ = udp_.local_endpoint().port();
  Accept();
  ReceiveDatagram();
  thread_ = std::thread([this] { io_.run(); });
}

FakeReceiver::~FakeReceiver() {
  asio::post(io_, [this] {
    error_code ignored;
    acceptor_.close(ignored);
    udp_.close(ignored);
    for (const auto& connection : connections_) {
      connection->Close();
    }
  });
  thread_.join();
}

void FakeReceiver::Accept() {
  acceptor_.async_accept([this](const error_code& ec, asio::ip::tcp::socket socket) {
    if (ec) {
      return;
    }
    connections_.push_back(std::make_shared<Connection>(std::move(socket), *this));
    connections_.back()->Read();
    Accept();
  });
}

void FakeReceiver::ReceiveDatagram() {
  udp_.async_receive_from(asio::buffer(datagram_), sender_, [this](const error_code& ec, size_t n) {
    if (ec) {
      return;
    }
    const int index = frames_++;
    const std::string answer = answer_(std::string(datagram_.data(), n), index);
    if (!answer.empty()) {
      error_code ignored;
      udp_.send_to(asio::buffer(answer), sender_, 0, ignored);
    }
    ReceiveDatagram();
  });
}

}  // namespace talvero::testing
