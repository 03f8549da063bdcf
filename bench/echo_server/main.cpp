#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "echo_server.hpp"
#include "platform/open_file_limit.hpp"

// talvero-echo PORT: serves until SIGTERM or SIGINT; port 0 takes a free one.
// Prints "listening on PORT" once both sockets are bound.
int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: talvero-echo PORT\n");
    return 2;
  }
  char* end = nullptr;
  const long port = std::strtol(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || port < 0 || port > 65535) {
    std::fprintf(stderr, "talvero-echo: no port: %s\n", argv[1]);
    return 2;
  }
  // As many connections as the receiver may hold.
  talvero::RaiseOpenFileLimit();
  try {
    boost::asio::io_context io;
    talvero::EchoServer server(io, static_cast<uint16_t>(port));
    boost::asio::signal_set signals(io, SIGTERM, SIGINT);
    signals.async_wait([&](const boost::system::error_code&, int) {
      server.Stop();
      io.stop();
    });
    server.Start();
    std::printf("listening on %u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    io.run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "talvero-echo: %s\n", e.what());
    return 1;
  }
  return 0;
}
