#include "hosts/monitor_host.hpp"

#include <cstdio>
#include <exception>
#include <memory>

#include "hosts/event_loop.hpp"
#include "hosts/monitor_window.hpp"
#include "hosts/page_process.hpp"
#include "platform/open_file_limit.hpp"

namespace talvero {

int RunMonitorHost(const CommandLine& line) {
  RaiseOpenFileLimit();
  PageProcess process(line);
  std::unique_ptr<MonitorWindow> window;
  // A stop request during start-up is kept for the loop.
  process.signals.async_wait([&](const boost::system::error_code& ec, int) {
    if (!ec && window) {
      window->Close();
    }
  });
  try {
    process.OpenWeb();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Error in proc TForm1.FormCreate: %s\n", e.what());
    return 1;
  }
  process.Show();
  window = std::make_unique<MonitorWindow>(process.io, process.clock, process.timers, *process.web,
                                           line, [&] { process.End(); });
  const bool started = window->Start();
  process.log.SetTarget(window->Log());
  RunEventLoop(process.io, window->Log(), "TForm1");
  return started ? 0 : 1;
}

}  // namespace talvero
