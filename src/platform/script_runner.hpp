#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace talvero {

// How a script ended: with exit code 0, or not (the reason for the operator).
struct ScriptOutcome {
  bool ok = false;
  std::string failure;
};

// Runs the console's install and uninstall scripts.
class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;
  // Starts the script with bash and its arguments; false when it cannot be
  // started (no such file, no shell). Otherwise done runs once, on the event
  // thread, when the script has ended or has been stopped for taking too long.
  virtual bool Run(const std::filesystem::path& script, const std::vector<std::string>& args,
                   std::function<void(ScriptOutcome)> done) = 0;
};

}  // namespace talvero
