#include "platform/tcp_listener.hpp"

#include <chrono>

#include "base/guard.hpp"
#include "base/runtime_metrics.hpp"

namespace talvero {
namespace {

constexpr std::chrono::milliseconds kAcceptRetryDelay{100};
// Connections taken from the backlog in one turn of the loop at most.
constexpr size_t kAcceptBurst = 1024;

}  // namespace

TcpListener::TcpListener(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery)
    : acceptor_(io),
      retry_(io),
      delivery_(delivery),
      batch_(std::make_shared<AnswerBatch>(io.get_executor(), delivery)) {
  using boost::asio::ip::tcp;
  acceptor_.open(tcp::v4());
  // Lets a restart bind again while old connections linger in TIME_WAIT; a live
  // listener on the port still makes bind fail.
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(tcp::endpoint(boost::asio::ip::address_v4::any(), port));
  acceptor_.listen();
  // The burst of accepts in OnAccept must stop, not wait, at an empty backlog.
  acceptor_.non_blocking(true);
  localPort_ = acceptor_.local_endpoint().port();
}

void TcpListener::Start() {
  Accept();
}

void TcpListener::Close() {
  Shut(true);
}

void TcpListener::Release() {
  Shut(false);
}

void TcpListener::Shut(bool logged) {
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
  Metrics().tcpConnectionsOpen -= static_cast<int64_t>(connections.size());
  for (auto& [raw, connection] : connections) {
    if (logged) {
      connection->Close();
    } else {
      connection->Release();
    }
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
    // Peers cause these (connections dropped before they were taken, or so many
    // that descriptors run out), and nothing another host does may write to the
    // "Errors" log; told once until a connection is taken again.
    if (!acceptFailing_) {
      acceptFailing_ = true;
      delivery_.Log().LogImpMsg("!! CAN NOT ACCEPT A CONNECTION: " + ec.message());
    }
    retry_.expires_after(kAcceptRetryDelay);
    retry_.async_wait([self = shared_from_this()](const boost::system::error_code& waitEc) {
      if (!waitEc && !self->closed_) {
        self->Accept();
      }
    });
    return;
  }
  acceptFailing_ = false;
  Adopt(std::move(socket));
  // Every connection already waiting is taken now, not one per turn of the
  // loop: with many busy connections a turn is long, and a unit still in the
  // backlog has connected but is not read at all. A failure here shows again
  // on the asynchronous accept, which reports it.
  for (size_t taken = 1; taken < kAcceptBurst; ++taken) {
    boost::system::error_code more;
    boost::asio::ip::tcp::socket next = acceptor_.accept(more);
    if (more) {
      break;
    }
    Adopt(std::move(next));
  }
  Accept();
}

void TcpListener::Adopt(boost::asio::ip::tcp::socket socket) {
  boost::system::error_code peerEc;
  const auto peer = socket.remote_endpoint(peerEc);
  // A peer that is gone before it could be greeted was never a connection.
  if (peerEc) {
    return;
  }
  auto connection = std::make_shared<TcpConnection>(
      std::move(socket), peer, delivery_, batch_, [weak = weak_from_this()](TcpConnection* closed) {
        if (const auto self = weak.lock()) {
          Metrics().tcpConnectionsOpen -= static_cast<int64_t>(self->connections_.erase(closed));
        }
      });
  connections_.emplace(connection.get(), connection);
  ++Metrics().tcpConnectionsOpen;
  connection->Start();
}

}  // namespace talvero
