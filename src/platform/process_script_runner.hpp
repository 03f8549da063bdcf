#pragma once

#include <chrono>
#include <memory>

#include "platform/script_runner.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// Runs each script as a child process in a process group of its own, waited
// for on a thread of its own so the event loop goes on meanwhile. A script
// still running after the limit is killed with its whole group.
class ProcessScriptRunner final : public ScriptRunner {
 public:
  ProcessScriptRunner(boost::asio::io_context& io, std::chrono::seconds limit);
  // Kills a script still running and waits for it.
  ~ProcessScriptRunner() override;

  bool Run(const std::filesystem::path& script, const std::vector<std::string>& args,
           std::function<void(ScriptOutcome)> done) override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvero
