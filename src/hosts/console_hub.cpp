#include "hosts/console_hub.hpp"

#include <fmt/format.h>

#include <array>
#include <fstream>
#include <system_error>
#include <utility>

#include "hosts/monitor_json.hpp"

namespace talvero {
namespace {

using nlohmann::json;

struct ButtonCaption {
  ConsoleButton button;
  std::string_view caption;
};

constexpr std::array<ButtonCaption, 5> kButtons{{
    {kRunApplication, "Run Application"},
    {kInstallService, "Install Service"},
    {kUninstallService, "Uninstall Service"},
    {kStartService, "Start Service"},
    {kStopService, "Stop Service"},
}};

std::string TextField(const json& request, const char* name) {
  const auto it = request.find(name);
  return it != request.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

ConsoleHub::ConsoleHub(ServiceConsole& console, PageOutlet& outlet)
    : console_(console), outlet_(outlet) {}

void ConsoleHub::Open(PageId page) {
  outlet_.Send(page, ViewMessage(console_.View()));
  // A page coming up is the console window being shown.
  console_.Activate();
}

void ConsoleHub::Message(PageId page, const json& request) {
  const std::string type = TextField(request, "type");
  if (type == "press") {
    if (const auto button = ButtonOfCaption(TextField(request, "button"))) {
      console_.Press(*button);
    }
  } else if (type == "indicator") {
    const std::string which = TextField(request, "which");
    if (which != "error" && which != "important") {
      return;
    }
    const auto log = console_.ClickIndicator(which == "error" ? ConsoleIndicator::Error
                                                              : ConsoleIndicator::Important);
    if (log) {
      outlet_.Send(page, {{"type", "log"},
                          {"which", which},
                          {"file", log->filename().string()},
                          {"text", LogText(*log)}});
    }
  } else if (type == "boxOk") {
    console_.BoxAnswered();
  } else if (type == "activate") {
    console_.Activate();
  } else if (type == "close") {
    console_.Close();
  } else if (type == "help") {
    if (std::optional<json> reply = HelpAnswer(TextField(request, "lang"))) {
      outlet_.Send(page, WithReq(std::move(*reply), request));
    }
  }
}

void ConsoleHub::ViewChanged() {
  const ConsoleView& view = console_.View();
  if (sent_ == view) {
    return;
  }
  sent_ = view;
  outlet_.Broadcast(ViewMessage(view));
}

void ConsoleHub::MonitorStarts() {
  outlet_.Broadcast({{"type", "monitor"}});
}

json ConsoleHub::ViewMessage(const ConsoleView& view) {
  json enabled = json::object();
  for (const ButtonCaption& entry : kButtons) {
    enabled[std::string(entry.caption)] = (view.enabled & entry.button) != 0;
  }
  json message = {{"type", "view"},
                  {"application", view.application},
                  {"service", view.service},
                  {"enabled", std::move(enabled)},
                  {"errorIndicator", view.errorIndicator},
                  {"importantIndicator", view.importantIndicator},
                  {"busy", view.busy},
                  {"applicationRunning", view.applicationRunning}};
  if (view.box) {
    message["box"] = *view.box;
  }
  return message;
}

std::optional<ConsoleButton> ConsoleHub::ButtonOfCaption(std::string_view caption) {
  for (const ButtonCaption& entry : kButtons) {
    if (entry.caption == caption) {
      return entry.button;
    }
  }
  return std::nullopt;
}

std::string ConsoleHub::LogText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) {
    return fmt::format("{} cannot be read.", file.filename().string());
  }
  const std::streamoff size = in.tellg();
  const std::streamoff skipped =
      size > static_cast<std::streamoff>(kLogShownBytes) ? size - kLogShownBytes : 0;
  in.seekg(skipped);
  std::string text(static_cast<size_t>(size - skipped), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  if (skipped > 0) {
    // Starts on a whole line.
    const size_t lineEnd = text.find('\n');
    text.erase(0, lineEnd == std::string::npos ? 0 : lineEnd + 1);
    text.insert(0, fmt::format("({} bytes before these lines are not shown)\n", skipped));
  }
  return text;
}

}  // namespace talvero
