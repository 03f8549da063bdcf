#include "hosts/console_host.hpp"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <system_error>

#include "hosts/console_hub.hpp"
#include "hosts/event_loop.hpp"
#include "hosts/monitor_window.hpp"
#include "hosts/page_process.hpp"
#include "hosts/service_console.hpp"
#include "hosts/web_outlet.hpp"
#include "log/exe_folder.hpp"
#include "platform/instance_lock.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/process_script_runner.hpp"
#include "platform/systemd_service_control.hpp"
#include "platform/web_files.hpp"

namespace talvero {
namespace {

using nlohmann::json;

// The file whose lock says a console runs on this home folder.
constexpr const char* kLockFile = "Talvero_console.lock";
// An install or uninstall script that has not ended by then is stopped.
constexpr std::chrono::seconds kScriptLimit{120};

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

class ConsoleProcess final : public ConsoleHost {
 public:
  explicit ConsoleProcess(const CommandLine& line)
      : process_(line), scripts_(process_.io, kScriptLimit) {}

  int Run() {
    std::filesystem::current_path(ExeFolder());
    WebServer& web = process_.OpenWeb();
    outlet_ = std::make_unique<WebOutlet>(web);
    // The console's page until Run Application; the monitor's after it.
    web.AddGetHandler("/", [this](const WebTarget&) {
      return WebReply::Content("text/html; charset=utf-8",
                               std::string(EmbeddedFile(window_ ? "index.html" : "console.html")));
    });
    console_ = std::make_unique<ServiceConsole>(ScriptOptions(), services_, scripts_,
                                                process_.timers, *this);
    hub_ = std::make_unique<ConsoleHub>(*console_, *outlet_);
    web.SetChannelHandlers({
        .opened = [this](WebSessionId page) { hub_->Open(page); },
        .message = [this](WebSessionId page, const json& message) { hub_->Message(page, message); },
        .closed = {},
    });
    process_.signals.async_wait([this](const boost::system::error_code& ec, int) {
      if (!ec) {
        window_ ? window_->Close() : End();
      }
    });
    process_.Show();
    // The window's first display.
    console_->Activate();
    RunEventLoop(process_.io, &process_.log, "TForm2");
    return monitorFailed_ ? 1 : 0;
  }

 private:
  ConsoleOptions ScriptOptions() const {
    const std::filesystem::path programFolder = ProgramFolder();
    ConsoleOptions options{.folder = std::filesystem::current_path(),
                           .installScript = programFolder / "install.sh",
                           .uninstallScript = programFolder / "uninstall.sh",
                           .scriptArgs = {}};
    if (!process_.line.home.empty()) {
      options.scriptArgs = {"--home", ExeFolder()};
    }
    const CommandLine& line = process_.line;
    if (line.devDir != kDefaultDevDir) {
      options.scriptArgs.insert(options.scriptArgs.end(), {"--dev-dir", line.devDir});
    }
    if (line.metrics) {
      options.scriptArgs.insert(options.scriptArgs.end(),
                                {"--metrics", NetAddressText(*line.metrics)});
    }
    if (line.stationTcp) {
      options.scriptArgs.insert(options.scriptArgs.end(),
                                {"--station", "tcp:" + NetAddressText(*line.stationTcp)});
    }
    return options;
  }

  void ViewChanged() override {
    if (hub_) {
      hub_->ViewChanged();
    }
  }

  void StartMonitor() override {
    // Not inside the page's message: the monitor takes the pages' channel over.
    boost::asio::post(process_.io, [this] {
      window_ = std::make_unique<MonitorWindow>(process_.io, process_.clock, process_.timers,
                                                *process_.web, process_.line,
                                                [this] { console_->MonitorClosed(); });
      monitorFailed_ = !window_->Start();
      process_.log.SetTarget(window_->Log());
      // "/" is the monitor's page from now on.
      hub_->MonitorStarts();
    });
  }

  void CloseConsole() override { End(); }

  void Note(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

  void End() {
    if (!window_) {
      process_.web->Broadcast({{"type", "closed"}, {"text", "The console has closed."}});
    }
    process_.End();
  }

  PageProcess process_;
  SystemdServiceControlFactory services_;
  ProcessScriptRunner scripts_;
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
