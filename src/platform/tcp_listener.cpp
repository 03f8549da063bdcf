#include "platform/tcp_listener.hpp"

#include <chrono>

#include "log/guard.hpp"

namespace talvero {
namespace {

constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

}  // namespace

TcpListener::TcpListener(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery)
    : acceptor_(io), retry_(io), delivery_(delivery) {
  using boost::asio::ip::tcp;
  acceptor_.open(tcp::v4());
  // Lets a restart bind again while old connections linger in TIME_WAIT; a live
  // listener on the port still makes bind fail.
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(tcp::endpoint(boost::asio::ip::address_v4::any(), port));
  acceptor_.listen();
  localPort_ = acceptor_.local_endpoint().port();
}

void TcpListener::Start() {
  Accept();
}

void TcpListener::Close() {
  if (closed_) {
    return;
  }
  closed_ = true;
  boost::system::error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  // Each connection reports its close to this map; take it out of the way first.
  auto connections = std::move(connections_);
  connections_.clear();
  for (auto& [raw, connection] : connections) {
    connection->Close();
  }
}

void TcpListener::Accept() {
  acceptor_.async_accept([self = shared_from_this()](const boost::system::error_code& ec,
                                                     boost::asio::ip::tcp::socket socket) {
    self->OnAccept(ec, std::move(socket));
  });
}

void TcpListener::OnAccept(const boost::system::error_code& ec,
                           boost::asio::ip::tcp::socket socket) {
  if (closed_) {
    return;
  }
  if (ec) {
    ReportFailure(delivery_.Log(), "ServerSocket1ClientConnect", ec.message());
    retry_.expires_after(kAcceptRetryDelay);
    retry_.async_wait([self = shared_from_this()](const boost::system::error_code& waitEc) {
      if (!waitEc && !self->closed_) {
        self->Accept();
      }
    });
    return;
  }
  boost::system::error_code peerEc;
  const auto peer = socket.remote_endpoint(peerEc);
  // A peer that is gone before it could be greeted was never a connection.
  if (!peerEc) {
    auto connection = std::make_shared<TcpConnection>(
        std::move(socket), peer, delivery_, [weak = weak_from_this()](TcpConnection* closed) {
          if (const auto self = weak.lock()) {
            self->connections_.erase(closed);
          }
        });
    connections_.emplace(connection.get(), connection);
    connection->Start();
  }
  Accept();
}

}  // namespace talvero
