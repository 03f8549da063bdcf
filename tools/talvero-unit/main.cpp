#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/usage_error.hpp"
#include "platform/open_file_limit.hpp"
#include "platform/system_clock.hpp"
#include "unit_sim/capturing_logger.hpp"
#include "unit_sim/load_report.hpp"
#include "unit_sim/load_run.hpp"
#include "unit_sim/send_report.hpp"
#include "unit_sim/single_shot.hpp"
#include "unit_sim/unit_options.hpp"

namespace talvero {
namespace {

int RunSend(const UnitOptions& options) {
  CapturingLogger log;
  const std::string frame = BuildUnitFrame(
      options.kind, options.fields, FrameSeal{options.unitNr, options.frameID, options.keyText},
      SystemClock().Now(), log);
  const SendResult result = SendOneFrame(options, frame, options.json ? nullptr : stdout);
  if (options.json) {
    fmt::print("{}\n", SendResultJson(options, result));
  } else if (!result.error.empty()) {
    fmt::print(stderr, "talvero-unit: {}\n", result.error);
  }
  return SendExitCode(options.kind, result);
}

int RunLoad(const UnitOptions& options) {
  // Every simulated unit holds a socket; units beyond the limit fail to connect and are counted.
  const std::optional<OpenFileLimit> limit = RaiseOpenFileLimit();
  if (!limit) {
    throw std::system_error(errno, std::generic_category(), "getrlimit");
  }
  if (options.units + 16 > limit->soft) {
    fmt::print(stderr, "talvero-unit: only {} open files allowed; some of {} units will fail\n",
               limit->soft, options.units);
  }
  boost::asio::io_context io;
  LoadRun run(io, options);
  run.Start();
  io.run();
  const LoadSummary summary = run.Summary();
  fmt::print("{}", options.json ? LoadSummaryJson(summary) + "\n" : LoadSummaryText(summary));
  return summary.connected == 0 ? 1 : 0;
}

}  // namespace
}  // namespace talvero

int main(int argc, char** argv) {
  using namespace talvero;
  UnitOptions options;
  try {
    options = ParseUnitArgs(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    fmt::print(stderr, "talvero-unit: {}\n\n{}", e.what(), UnitUsage());
    return 2;
  }
  if (options.mode == UnitMode::Help) {
    fmt::print("{}", UnitUsage());
    return 0;
  }
  try {
    return options.mode == UnitMode::Load ? RunLoad(options) : RunSend(options);
  } catch (const std::exception& e) {
    fmt::print(stderr, "talvero-unit: {}\n", e.what());
    return 1;
  }
}
