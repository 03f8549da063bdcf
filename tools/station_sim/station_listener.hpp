#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/asio.hpp"

namespace talvero {

// The station's end of a TCP station output: listens on HOST:PORT and hands
// over one accepted connection at a time, as a descriptor the caller owns.
class StationListener {
 public:
  using Accepted = std::function<void(int fd, const std::string& peer)>;

  // Binds and listens; throws std::system_error when the address cannot be had.
  StationListener(boost::asio::io_context& io, const std::string& host, uint16_t port);

  // Accepts the next connection; a failed accept is tried again shortly.
  void AcceptNext(Accepted accepted);
  void Close();
  // "HOST:PORT" as bound (the port the system chose for port 0).
  std::string Address() const;

 private:
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer retry_;
  bool closed_ = false;
};

}  // namespace talvero
