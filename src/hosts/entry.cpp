#include "hosts/entry.hpp"

#include "platform/asio.hpp"

namespace talvero {

int RunProgram(int, char**) {
  boost::asio::io_context io;
  boost::asio::signal_set signals(io, SIGTERM, SIGINT);
  signals.async_wait([&](const boost::system::error_code&, int) { io.stop(); });
  io.run();
  return 0;
}

}  // namespace talvero
