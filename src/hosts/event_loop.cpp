#include "hosts/event_loop.hpp"

#include <cstdio>
#include <exception>

#include "base/guard.hpp"
#include "platform/asio.hpp"

namespace talvero {

void RunEventLoop(boost::asio::io_context& io, Logger* log, std::string_view procName) {
  for (;;) {
    try {
      io.run();
      return;
    } catch (const std::exception& e) {
      if (log != nullptr) {
        ReportFailure(*log, procName, e.what());
      } else {
        std::fprintf(stderr, "Error in the event loop: %s\n", e.what());
      }
    }
  }
}

}  // namespace talvero
