#include "hosts/monitor_host.hpp"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>

#include "hosts/browser_opener.hpp"
#include "hosts/event_loop.hpp"
#include "hosts/forwarding_logger.hpp"
#include "hosts/monitor_window.hpp"
#include "platform/asio.hpp"
#include "platform/asio_timers.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/system_clock.hpp"
#include "platform/web_server.hpp"

namespace talvero {
namespace {

// What the pages get to hear "closed" before the loop ends.
constexpr std::chrono::milliseconds kGoodbyeTime{500};

class MonitorHost {
 public:
  explicit MonitorHost(const CommandLine& line)
      : line_(line), timers_(io_), signals_(io_, SIGTERM, SIGINT), goodbye_(io_) {}

  int Run() {
    // A stop request during start-up is kept for the loop.
    signals_.async_wait([this](const boost::system::error_code& ec, int) {
      if (!ec && window_) {
        window_->Close();
      }
    });
    try {
      web_ =
          std::make_unique<WebServer>(io_, WebServerOptions{line_.uiHost, line_.uiPort, {}}, log_);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "Error in proc TForm1.FormCreate: %s\n", e.what());
      return 1;
    }
    ServeHelpFiles(*web_);
    web_->Start();
    std::printf("%s\n", web_->PageAddress().c_str());
    std::fflush(stdout);
    OpenInBrowser(web_->PageAddress());
    window_ =
        std::make_unique<MonitorWindow>(io_, clock_, timers_, *web_, line_, [this] { End(); });
    const bool started = window_->Start();
    log_.SetTarget(window_->Log());
    RunEventLoop(io_, window_->Log(), "TForm1");
    return started ? 0 : 1;
  }

 private:
  void End() {
    web_->Stop();
    goodbye_.expires_after(kGoodbyeTime);
    goodbye_.async_wait([this](const boost::system::error_code&) { io_.stop(); });
  }

  const CommandLine& line_;
  boost::asio::io_context io_;
  SystemClock clock_;
  AsioTimerFactory timers_;
  ForwardingLogger log_;
  boost::asio::signal_set signals_;
  boost::asio::steady_timer goodbye_;
  std::unique_ptr<WebServer> web_;
  std::unique_ptr<MonitorWindow> window_;
};

}  // namespace

int RunMonitorHost(const CommandLine& line) {
  RaiseOpenFileLimit();
  MonitorHost host(line);
  return host.Run();
}

}  // namespace talvero
