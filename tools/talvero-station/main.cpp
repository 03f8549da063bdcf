#include <fmt/format.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/usage_error.hpp"
#include "station_sim/serial_line.hpp"
#include "station_sim/station_listener.hpp"
#include "station_sim/station_options.hpp"
#include "station_sim/station_report.hpp"
#include "station_sim/station_session.hpp"

namespace talvero {
namespace {

std::string AnswerText(const StationOptions& o) {
  if (o.answer == StationAnswer::None) {
    return "never";
  }
  std::string text = o.answer == StationAnswer::Ack ? "0x06" : "0x15";
  if (o.baud) {
    text += fmt::format(" after the line's time at {} baud", *o.baud);
  }
  if (o.delaySeconds > 0) {
    text += fmt::format("{} {:g} s later", o.baud ? " and" : "", o.delaySeconds);
  }
  return text;
}

int RunListening(const StationOptions& options) {
  boost::asio::io_context io;
  StationListener listener(io, options.listen->first, options.listen->second);
  fmt::print("Listening on tcp:{}\n", listener.Address());
  fmt::print("Answering {}\n", AnswerText(options));
  std::fflush(stdout);
  StationSession session(io, -1, options, stdout, &listener);
  session.Start();
  io.run();
  const StationSummary summary = session.Summary();
  fmt::print("{}", options.json ? StationSummaryJson(summary) + "\n" : StationSummaryText(summary));
  return session.Failed() ? 1 : 0;
}

int Run(const StationOptions& options) {
  if (options.listen) {
    return RunListening(options);
  }
  SerialLine line =
      options.device ? SerialLine::OpenDevice(*options.device, options.baud.value_or(kDefaultBaud))
                     : SerialLine::CreatePty(options.link);
  if (options.device) {
    fmt::print("Serial device {} at {} baud\n", line.Path(), options.baud.value_or(kDefaultBaud));
  } else {
    fmt::print("Pseudo-terminal {}\n", line.Path());
    if (line.Link()) {
      fmt::print("Link {} -> {}\n", *line.Link(), line.Path());
    }
  }
  fmt::print("Answering {}\n", AnswerText(options));
  std::fflush(stdout);

  boost::asio::io_context io;
  StationSession session(io, line.ReleaseFd(), options, stdout);
  session.Start();
  io.run();
  const StationSummary summary = session.Summary();
  fmt::print("{}", options.json ? StationSummaryJson(summary) + "\n" : StationSummaryText(summary));
  return session.Failed() ? 1 : 0;
}

}  // namespace
}  // namespace talvero

int main(int argc, char** argv) {
  using namespace talvero;
  StationOptions options;
  try {
    options = ParseStationArgs(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    fmt::print(stderr, "talvero-station: {}\n\n{}", e.what(), StationUsage());
    return 2;
  }
  if (options.help) {
    fmt::print("{}", StationUsage());
    return 0;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    fmt::print(stderr, "talvero-station: {}\n", e.what());
    return 1;
  }
}
