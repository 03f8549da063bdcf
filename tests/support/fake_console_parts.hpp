#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hosts/service_console.hpp"

namespace talvero::testing {

class RecordingHost final : public ConsoleHost {
 public:
  void ViewChanged() override { ++changes; }
  void StartMonitor() override { ++monitorStarts; }
  void CloseConsole() override { ++closes; }
  void Note(const std::string& text) override { notes.push_back(text); }

  int changes = 0;
  int monitorStarts = 0;
  int closes = 0;
  std::vector<std::string> notes;
};

// Ends each script as the test says, when the test says.
class FakeScriptRunner final : public ScriptRunner {
 public:
  bool Run(const std::filesystem::path& script, const std::vector<std::string>& args,
           std::function<void(ScriptOutcome)> done) override {
    runs.push_back(script.filename().string());
    lastArgs = args;
    if (!startable) {
      return false;
    }
    pending = std::move(done);
    return true;
  }
  void Finish(ScriptOutcome outcome) { std::exchange(pending, {})(outcome); }

  bool startable = true;
  std::vector<std::string> runs;
  std::vector<std::string> lastArgs;
  std::function<void(ScriptOutcome)> pending;
};

}  // namespace talvero::testing
