#include "hosts/monitor_host.hpp"

#include <fmt/format.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "hosts/browser_opener.hpp"
#include "hosts/event_loop.hpp"
#include "hosts/help_files.hpp"
#include "hosts/monitor_hub.hpp"
#include "hosts/monitor_state.hpp"
#include "hosts/receiver_engine.hpp"
#include "hosts/receiver_metrics.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "platform/asio_timers.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/serial_port_list.hpp"
#include "platform/system_clock.hpp"
#include "platform/web_server.hpp"

namespace talvero {
namespace {

using nlohmann::json;

// A start-up that failed shows its box on the pages until one of them answers
// it, or until this long has passed with nobody there to read it.
constexpr std::chrono::seconds kFailureShownFor{60};
// What the pages get to hear "closed" before the loop ends.
constexpr std::chrono::milliseconds kGoodbyeTime{500};

class WebOutlet final : public PageOutlet {
 public:
  explicit WebOutlet(WebServer& web) : web_(web) {}
  void Send(PageId page, const json& message) override { web_.Send(page, message); }
  void Broadcast(const json& message) override { web_.Broadcast(message); }

 private:
  WebServer& web_;
};

void ServeHelpFiles(WebServer& web) {
  for (const std::string caption : {"EN", "RU"}) {
    web.AddGetHandler("/help/" + caption, [caption](const WebTarget&) {
      const HelpChoice choice = ChooseHelp(*HelpLanguageOfCaption(caption));
      if (!choice.file) {
        return WebReply::Text(404, choice.message);
      }
      return WebReply::Attachment("application/vnd.ms-htmlhelp", choice.file->filename().string(),
                                  ReadWholeFile(*choice.file));
    });
  }
}

class MonitorHost {
 public:
  explicit MonitorHost(const CommandLine& line)
      : line_(line),
        timers_(io_),
        state_([this](std::function<void()> task) { boost::asio::post(io_, std::move(task)); }),
        signals_(io_, SIGTERM, SIGINT),
        goodbye_(io_) {}

  int Run() {
    // A stop request during start-up is kept for the loop.
    signals_.async_wait([this](const boost::system::error_code& ec, int) {
      if (!ec) {
        Close();
      }
    });
    std::optional<std::string> failure;
    try {
      // Resources/ lies below the working folder: the home folder.
      std::filesystem::current_path(ExeFolder());
      engine_ = std::make_unique<ReceiverEngine>(
          io_, clock_, timers_, state_,
          ReceiverEngine::Options{HostKind::Desktop, line_.devDir, line_.stationTcp});
      web_ = std::make_unique<WebServer>(io_, WebServerOptions{line_.uiHost, line_.uiPort, {}},
                                         engine_->Log());
      outlet_ = std::make_unique<WebOutlet>(*web_);
      ServeHelpFiles(*web_);
      web_->Start();
      std::printf("%s\n", web_->PageAddress().c_str());
      std::fflush(stdout);
      OpenInBrowser(web_->PageAddress());
      engine_->StartUp();
      if (line_.metrics) {
        metrics_ = ServeMetrics(io_, *engine_, clock_, *line_.metrics);
      }
      hub_ = std::make_unique<MonitorHub>(*engine_, state_, *outlet_, timers_, clock_,
                                          ListSerialPorts(line_.devDir), [this] { Close(); });
      web_->SetChannelHandlers({
          .opened = [this](WebSessionId page) { hub_->Open(page); },
          .message = [this](WebSessionId page,
                            const json& message) { hub_->Message(page, message); },
          .closed = [this](WebSessionId page) { hub_->Closed(page); },
      });
    } catch (const std::exception& e) {
      failure = fmt::format("Error in proc TForm1.FormCreate: {}", e.what());
    }
    if (failure) {
      std::fprintf(stderr, "%s\n", failure->c_str());
      if (!web_) {
        return 1;
      }
      ShowFailure(*failure);
    }
    RunEventLoop(io_, engine_ ? &engine_->Log() : nullptr, "TForm1");
    return failure ? 1 : 0;
  }

 private:
  // Every page that is or comes open shows the box; its OK ends the program.
  void ShowFailure(const std::string& text) {
    const json box = {{"type", "startFailed"}, {"text", text}};
    web_->SetChannelHandlers({
        .opened = [this, box](WebSessionId page) { web_->Send(page, box); },
        .message =
            [this](WebSessionId, const json& message) {
              if (message["type"] == "startFailedOk") {
                End();
              }
            },
        .closed = {},
    });
    web_->Broadcast(box);
    goodbye_.expires_after(kFailureShownFor);
    goodbye_.async_wait([this](const boost::system::error_code& ec) {
      if (!ec) {
        End();
      }
    });
  }

  // The operator said Yes to closing, or a stop signal came.
  void Close() {
    if (closing_) {
      return;
    }
    closing_ = true;
    if (engine_) {
      Guarded(engine_->Log(), "FormClose", [this] { engine_->Stop(); });
    }
    if (web_) {
      web_->Broadcast({{"type", "closed"}, {"text", "The monitor has closed."}});
    }
    End();
  }

  void End() {
    if (web_) {
      web_->Stop();
    }
    goodbye_.expires_after(kGoodbyeTime);
    goodbye_.async_wait([this](const boost::system::error_code&) { io_.stop(); });
  }

  const CommandLine& line_;
  boost::asio::io_context io_;
  SystemClock clock_;
  AsioTimerFactory timers_;
  MonitorState state_;
  boost::asio::signal_set signals_;
  boost::asio::steady_timer goodbye_;
  std::unique_ptr<ReceiverEngine> engine_;
  std::unique_ptr<MetricsServer> metrics_;  // it reads the engine: it goes first
  std::unique_ptr<WebServer> web_;
  std::unique_ptr<WebOutlet> outlet_;
  std::unique_ptr<MonitorHub> hub_;
  bool closing_ = false;
};

}  // namespace

int RunMonitorHost(const CommandLine& line) {
  RaiseOpenFileLimit();
  MonitorHost host(line);
  return host.Run();
}

}  // namespace talvero
