#include "station_sim/station_listener.hpp"

#include <fmt/format.h>

#include <chrono>
#include <system_error>

#include "platform/host_name.hpp"

namespace talvero {

using boost::asio::ip::tcp;

StationListener::StationListener(boost::asio::io_context& io, const std::string& host,
                                 uint16_t port)
    : acceptor_(io), retry_(io) {
  tcp::resolver resolver(io);
  const auto results = resolver.resolve(ResolverHost(host), std::to_string(port));
  const tcp::endpoint endpoint = *results.begin();
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(endpoint);
  acceptor_.listen(1);
}

void StationListener::AcceptNext(Accepted accepted) {
  acceptor_.async_accept([this, accepted](const boost::system::error_code& ec, tcp::socket socket) {
    if (closed_ || ec == boost::asio::error::operation_aborted) {
      return;
    }
    if (ec) {
      retry_.expires_after(std::chrono::milliseconds(100));
      retry_.async_wait([this, accepted](const boost::system::error_code& waitEc) {
        if (!waitEc && !closed_) {
          AcceptNext(accepted);
        }
      });
      return;
    }
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    const auto peer = socket.remote_endpoint(ignored);
    const std::string peerText = fmt::format("{}:{}", peer.address().to_string(), peer.port());
    accepted(socket.release(), peerText);
  });
}

void StationListener::Close() {
  closed_ = true;
  boost::system::error_code ignored;
  retry_.cancel();
  acceptor_.close(ignored);
}

std::string StationListener::Address() const {
  const auto local = acceptor_.local_endpoint();
  return fmt::format("{}:{}", local.address().to_string(), local.port());
}

}  // namespace talvero
