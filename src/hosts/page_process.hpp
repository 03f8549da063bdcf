#pragma once

#include <csignal>
#include <memory>

#include "hosts/command_line.hpp"
#include "hosts/forwarding_logger.hpp"
#include "platform/asio.hpp"
#include "platform/asio_timers.hpp"
#include "platform/system_clock.hpp"
#include "platform/web_server.hpp"

namespace talvero {

// What a host whose window is a page runs on: one event loop with its clock
// and timers, the web server on --ui, stop signals, and the way out.
class PageProcess {
 public:
  explicit PageProcess(const CommandLine& line);

  // Binds --ui and serves the help files; throws when the address cannot be had.
  WebServer& OpenWeb();
  // Serves, prints the page's address and opens it in the desktop's browser.
  void Show();
  // Stops serving; the loop returns once the pages have heard their goodbye.
  void End();

  const CommandLine& line;
  boost::asio::io_context io;
  SystemClock clock;
  AsioTimerFactory timers{io};
  // The web server's log: standard error until an engine's logs are set.
  ForwardingLogger log;
  boost::asio::signal_set signals{io, SIGTERM, SIGINT};
  std::unique_ptr<WebServer> web;

 private:
  boost::asio::steady_timer goodbye_{io};
};

}  // namespace talvero
