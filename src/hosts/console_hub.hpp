#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>

#include "hosts/monitor_hub.hpp"
#include "hosts/service_console.hpp"

namespace talvero {

// The console as seen by its pages: each page shows the one console's view
// and hands the operator's clicks back. Pages and console speak JSON objects
// named by their "type":
//   to the pages:   "view" (the whole view, at open and on every change),
//                   "log" (a clicked indicator's log), "monitor" (the page
//                   turns into the monitor)
//   from the pages: "press" (a button by its caption), "indicator" ("error" or
//                   "important"), "boxOk", "activate" (the window was
//                   focused, or one of its dialogs closed), "close" (the
//                   window's close button), "help" (a button
//                   of the help chooser, answered like the monitor's)
class ConsoleHub {
 public:
  // The most of a log a click shows: its end, where the new lines are.
  static constexpr size_t kLogShownBytes = 256 * 1024;

  ConsoleHub(ServiceConsole& console, PageOutlet& outlet);

  void Open(PageId page);
  void Message(PageId page, const nlohmann::json& request);
  // Sends the view to every page when it differs from what they last got.
  void ViewChanged();
  void MonitorStarts();

  static nlohmann::json ViewMessage(const ConsoleView& view);
  // The button of this caption; nothing for any other text.
  static std::optional<ConsoleButton> ButtonOfCaption(std::string_view caption);
  // The end of the file, with a first line saying how much is left out.
  static std::string LogText(const std::filesystem::path& file);

 private:
  ServiceConsole& console_;
  PageOutlet& outlet_;
  std::optional<ConsoleView> sent_;
};

}  // namespace talvero
