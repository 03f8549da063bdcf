#include "hosts/monitor_window.hpp"

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/guard.hpp"
#include "base/text_file.hpp"
#include "hosts/help_files.hpp"
#include "hosts/monitor_hub.hpp"
#include "hosts/receiver_engine.hpp"
#include "hosts/receiver_metrics.hpp"
#include "hosts/web_outlet.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "platform/metrics_server.hpp"
#include "platform/serial_port_list.hpp"
#include "platform/web_server.hpp"

namespace talvero {
namespace {

using nlohmann::json;

// A start-up that failed shows its box until a page answers it, or this long.
constexpr std::chrono::seconds kFailureShownFor{60};

}  // namespace

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

MonitorWindow::MonitorWindow(boost::asio::io_context& io, const Clock& clock, TimerFactory& timers,
                             WebServer& web, const CommandLine& line, std::function<void()> closed)
    : io_(io),
      clock_(clock),
      timers_(timers),
      web_(web),
      line_(line),
      closed_(std::move(closed)),
      state_([this](std::function<void()> task) { boost::asio::post(io_, std::move(task)); }),
      outlet_(std::make_unique<WebOutlet>(web)) {}

MonitorWindow::~MonitorWindow() = default;

Logger* MonitorWindow::Log() {
  return engine_ ? &engine_->Log() : nullptr;
}

bool MonitorWindow::Start() {
  std::optional<std::string> failure;
  try {
    // Resources/ lies below the working folder: the home folder.
    std::filesystem::current_path(ExeFolder());
    engine_ = std::make_unique<ReceiverEngine>(
        io_, clock_, timers_, state_,
        ReceiverEngine::Options{HostKind::Desktop, line_.devDir, line_.stationTcp});
    engine_->StartUp();
    if (line_.metrics) {
      metrics_ = ServeMetrics(io_, *engine_, clock_, *line_.metrics);
    }
    hub_ = std::make_unique<MonitorHub>(*engine_, state_, *outlet_, timers_, clock_,
                                        ListSerialPorts(line_.devDir), [this] { Close(); });
    web_.SetChannelHandlers({
        .opened = [this](WebSessionId page) { hub_->Open(page); },
        .message = [this](WebSessionId page, const json& message) { hub_->Message(page, message); },
        .closed = [this](WebSessionId page) { hub_->Closed(page); },
    });
  } catch (const std::exception& e) {
    failure = fmt::format("Error in proc TForm1.FormCreate: {}", e.what());
  }
  if (failure) {
    std::fprintf(stderr, "%s\n", failure->c_str());
    ShowFailure(*failure);
  }
  return !failure;
}

// Every page that is or comes open shows the box; its OK ends the monitor.
void MonitorWindow::ShowFailure(const std::string& text) {
  const json box = {{"type", "startFailed"}, {"text", text}};
  web_.SetChannelHandlers({
      .opened = [this, box](WebSessionId page) { web_.Send(page, box); },
      .message =
          [this](WebSessionId, const json& message) {
            if (message["type"] == "startFailedOk") {
              Finish();
            }
          },
      .closed = {},
  });
  web_.Broadcast(box);
  failureShown_ = timers_.MakeTimer(TimerKind::OneShot, [this] { Finish(); });
  failureShown_->Start(kFailureShownFor);
}

void MonitorWindow::Close() {
  if (over_) {
    return;
  }
  if (engine_) {
    Guarded(engine_->Log(), "FormClose", [this] { engine_->Stop(); });
  }
  web_.Broadcast({{"type", "closed"}, {"text", "The monitor has closed."}});
  Finish();
}

void MonitorWindow::Finish() {
  if (std::exchange(over_, true)) {
    return;
  }
  if (failureShown_) {
    failureShown_->Stop();
  }
  closed_();
}

}  // namespace talvero
