#include "hosts/service_host.hpp"

#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "base/guard.hpp"
#include "hosts/event_loop.hpp"
#include "hosts/receiver_engine.hpp"
#include "hosts/receiver_metrics.hpp"
#include "platform/asio.hpp"
#include "platform/asio_timers.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/service_notify.hpp"
#include "platform/system_clock.hpp"

namespace talvero {
namespace {

// Nobody sees a message box on a service: the start-up failure goes to
// standard error (the journal under systemd) and to the "Errors" log.
void ReportStartUpFailure(ReceiverEngine* engine, std::string_view failure) {
  const std::string text = fmt::format("Error in proc ServiceExecute: {}", failure);
  std::fprintf(stderr, "%s\n", text.c_str());
  if (engine != nullptr) {
    try {
      engine->Log().LogErrorText(text);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "The \"Errors\" log cannot be written either: %s\n", e.what());
    }
  }
}

}  // namespace

int RunServiceHost(const CommandLine& line) {
  RaiseOpenFileLimit();
  // Under a file size limit (LimitFSIZE, ulimit -f) a write past it would end
  // the process; ignored, the write fails and is reported like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  boost::asio::io_context io;
  SystemClock clock;
  AsioTimerFactory timers(io);
  HostObserver silent;
  std::unique_ptr<ReceiverEngine> engine;
  std::unique_ptr<MetricsServer> metrics;  // it reads the engine: it goes first

  // Installed first, so a stop request during start-up is kept for the loop.
  boost::asio::signal_set signals(io, SIGTERM, SIGINT);
  signals.async_wait([&](const boost::system::error_code& ec, int) {
    if (ec) {
      return;
    }
    NotifyServiceStopping();
    if (engine) {
      Guarded(engine->Log(), "ServiceStop", [&] { engine->Stop(); });
    }
    io.stop();
  });
  NotifyServiceReady();
  try {
    engine = std::make_unique<ReceiverEngine>(
        io, clock, timers, silent,
        ReceiverEngine::Options{HostKind::Service, line.devDir, line.stationTcp});
    engine->StartUp();
    if (line.metrics) {
      metrics = ServeMetrics(io, *engine, clock, *line.metrics);
    }
  } catch (const std::exception& e) {
    ReportStartUpFailure(engine.get(), e.what());
  }

  RunEventLoop(io, engine ? &engine->Log() : nullptr, "ServiceExecute");
  return 0;
}

}  // namespace talvero
