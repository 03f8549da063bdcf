#include "station_sim/station_report.hpp"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "common/frame_report.hpp"

namespace talvero {

std::string ReceivedLineText(std::string_view momentText, const StationInput& input,
                             const LineVerdict& verdict) {
  switch (input.kind) {
    case StationInput::Kind::Ack:
      return fmt::format("{}  [0x06: heartbeat answered]", momentText);
    case StationInput::Kind::Overlong:
      return fmt::format("{}  {}... [too long for a line, skipped to the next DC4]", momentText,
                         PrintableText(input.text.substr(0, 40)));
    case StationInput::Kind::Line:
      break;
  }
  std::string out = fmt::format("{}  {}", momentText, PrintableText(input.text));
  if (verdict.heartbeat) {
    out += "  [heartbeat]";
  }
  if (verdict.duplicate) {
    out += "  [re-send]";
  }
  return out;
}

std::string StationSummaryText(const StationSummary& s) {
  const StationCounters& c = s.counters;
  return fmt::format(
      "Stopped ({}) after {:.3f} s\n"
      "Lines {} (new events {}, heartbeats {}, re-sends {}), {:.2f} lines per second\n"
      "Answers written {}; heartbeats sent {}, answered {}; overlong inputs {}\n",
      s.stopReason, s.elapsedSeconds, c.lines, c.newEvents, c.heartbeats, c.duplicates,
      s.linesPerSecond, c.answers, c.heartbeatsSent, c.heartbeatAcks, c.overlong);
}

std::string StationSummaryJson(const StationSummary& s) {
  const StationCounters& c = s.counters;
  const nlohmann::json json = {
      {"stopReason", s.stopReason},
      {"elapsedSeconds", s.elapsedSeconds},
      {"lines", c.lines},
      {"newEvents", c.newEvents},
      {"heartbeats", c.heartbeats},
      {"duplicates", c.duplicates},
      {"linesPerSecond", s.linesPerSecond},
      {"answers", c.answers},
      {"heartbeatsSent", c.heartbeatsSent},
      {"heartbeatAcks", c.heartbeatAcks},
      {"overlong", c.overlong},
  };
  return json.dump();
}

}  // namespace talvero
