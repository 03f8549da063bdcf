#include "hosts/console_host.hpp"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>

#include "hosts/browser_opener.hpp"
#include "hosts/console_hub.hpp"
#include "hosts/event_loop.hpp"
#include "hosts/forwarding_logger.hpp"
#include "hosts/monitor_window.hpp"
#include "hosts/service_console.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "platform/asio_timers.hpp"
#include "platform/instance_lock.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/process_script_runner.hpp"
#include "platform/system_clock.hpp"
#include "platform/systemd_service_control.hpp"
#include "platform/web_files.hpp"
#include "platform/web_server.hpp"

namespace talvero {
namespace {

using nlohmann::json;

// The file whose lock says a console runs on this home folder.
constexpr const char* kLockFile = "Talvero_console.lock";
// An install or uninstall script that has not ended by then is stopped.
constexpr std::chrono::seconds kScriptLimit{120};
// What the pages get to hear "closed" before the loop ends.
constexpr std::chrono::milliseconds kGoodbyeTime{500};

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : self.parent_path();
}

std::string_view EmbeddedFile(std::string_view path) {
  for (const WebFile& file : EmbeddedWebFiles()) {
    if (file.path == path) {
      return file.body;
    }
  }
  return {};
}

class WebOutlet final : public PageOutlet {
 public:
  explicit WebOutlet(WebServer& web) : web_(web) {}
  void Send(PageId page, const json& message) override { web_.Send(page, message); }
  void Broadcast(const json& message) override { web_.Broadcast(message); }

 private:
  WebServer& web_;
};

class ConsoleProcess final : public ConsoleHost {
 public:
  explicit ConsoleProcess(const CommandLine& line)
      : line_(line),
        timers_(io_),
        scripts_(io_, kScriptLimit),
        signals_(io_, SIGTERM, SIGINT),
        goodbye_(io_) {}

  int Run() {
    std::filesystem::current_path(ExeFolder());
    web_ = std::make_unique<WebServer>(io_, WebServerOptions{line_.uiHost, line_.uiPort, {}}, log_);
    outlet_ = std::make_unique<WebOutlet>(*web_);
    ServeHelpFiles(*web_);
    // The console's page until Run Application; the monitor's after it.
    web_->AddGetHandler("/", [this](const WebTarget&) {
      return WebReply::Content("text/html; charset=utf-8",
                               std::string(EmbeddedFile(window_ ? "index.html" : "console.html")));
    });
    const std::filesystem::path programFolder = ProgramFolder();
    ConsoleOptions options{.folder = std::filesystem::current_path(),
                           .installScript = programFolder / "install.sh",
                           .uninstallScript = programFolder / "uninstall.sh",
                           .scriptArgs = {}};
    if (!line_.home.empty()) {
      options.scriptArgs = {"--home", ExeFolder()};
    }
    if (line_.devDir != kDefaultDevDir) {
      options.scriptArgs.insert(options.scriptArgs.end(), {"--dev-dir", line_.devDir});
    }
    console_ =
        std::make_unique<ServiceConsole>(std::move(options), services_, scripts_, timers_, *this);
    hub_ = std::make_unique<ConsoleHub>(*console_, *outlet_);
    web_->SetChannelHandlers({
        .opened = [this](WebSessionId page) { hub_->Open(page); },
        .message = [this](WebSessionId page, const json& message) { hub_->Message(page, message); },
        .closed = {},
    });
    signals_.async_wait([this](const boost::system::error_code& ec, int) {
      if (ec) {
        return;
      }
      window_ ? window_->Close() : End();
    });
    web_->Start();
    std::printf("%s\n", web_->PageAddress().c_str());
    std::fflush(stdout);
    OpenInBrowser(web_->PageAddress());
    // The window's first display.
    console_->Activate();
    RunEventLoop(io_, &log_, "TForm2");
    return monitorFailed_ ? 1 : 0;
  }

 private:
  void ViewChanged() override {
    if (hub_) {
      hub_->ViewChanged();
    }
  }

  void StartMonitor() override {
    // Not inside the page's message: the monitor takes the pages' channel over.
    boost::asio::post(io_, [this] {
      window_ = std::make_unique<MonitorWindow>(io_, clock_, timers_, *web_, line_,
                                                [this] { console_->MonitorClosed(); });
      monitorFailed_ = !window_->Start();
      log_.SetTarget(window_->Log());
      // "/" is the monitor's page from now on.
      hub_->MonitorStarts();
    });
  }

  void CloseConsole() override { End(); }

  void Note(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

  void End() {
    if (!window_) {
      web_->Broadcast({{"type", "closed"}, {"text", "The console has closed."}});
    }
    web_->Stop();
    goodbye_.expires_after(kGoodbyeTime);
    goodbye_.async_wait([this](const boost::system::error_code&) { io_.stop(); });
  }

  const CommandLine& line_;
  boost::asio::io_context io_;
  SystemClock clock_;
  AsioTimerFactory timers_;
  ForwardingLogger log_;
  SystemdServiceControlFactory services_;
  ProcessScriptRunner scripts_;
  boost::asio::signal_set signals_;
  boost::asio::steady_timer goodbye_;
  std::unique_ptr<WebServer> web_;
  std::unique_ptr<WebOutlet> outlet_;
  std::unique_ptr<ServiceConsole> console_;
  std::unique_ptr<ConsoleHub> hub_;
  std::unique_ptr<MonitorWindow> window_;
  bool monitorFailed_ = false;
};

}  // namespace

int RunConsoleHost(const CommandLine& line) {
  std::optional<InstanceLock> lock;
  std::string error;
  const std::filesystem::path lockFile = std::filesystem::path(ExeFolder()) / kLockFile;
  switch (InstanceLock::Take(lockFile, lock, error)) {
    case InstanceLock::Result::Taken:
      break;
    case InstanceLock::Result::HeldElsewhere:
      std::fprintf(stderr, "The other instance of \"Corvane Console\" is running.\r\n");
      return 1;
    case InstanceLock::Result::Failed:
      std::fprintf(stderr, "Cannot lock %s: %s\n", lockFile.c_str(), error.c_str());
      return 1;
  }
  RaiseOpenFileLimit();
  try {
    ConsoleProcess console(line);
    return console.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Error in proc TForm2.FormCreate: %s\n", e.what());
    return 1;
  }
}

}  // namespace talvero
