#include "unit_sim/load_report.hpp"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

namespace talvero {
namespace {

double Millis(uint32_t micros) {
  return micros / 1000.0;
}

}  // namespace

LoadSummary MakeLoadSummary(const LoadSetup& setup, const LoadCounters& counters,
                            std::vector<uint32_t>& latencySamples, double sendSeconds) {
  LoadSummary out;
  out.setup = setup;
  out.counters = counters;
  out.sendSeconds = sendSeconds;
  if (sendSeconds > 0) {
    out.framesPerSecond = static_cast<double>(counters.sent) / sendSeconds;
    out.answersPerSecond = static_cast<double>(counters.acks + counters.nacks) / sendSeconds;
  }
  out.latency = Summarise(latencySamples);
  return out;
}

std::string LoadSummaryText(const LoadSummary& s) {
  const LoadCounters& c = s.counters;
  const std::string pace =
      s.setup.rate > 0 ? fmt::format("{:g} frames/s", s.setup.rate) : "as fast as possible";
  return fmt::format(
      "Load: {} units over {}, {} frames{}, {}, {:g} s\n"
      "Connected {} of {} units in {:.3f} s ({} failed)\n"
      "Frames sent {}, answers {} (Ack {}, Nack {}), time-outs {}, bad answers {}, lost {}, "
      "send errors {}\n"
      "Frames per second {:.1f}, answers per second {:.1f} over {:.3f} s\n"
      "Latency p50 {:.3f} ms, p99 {:.3f} ms, max {:.3f} ms ({} answers)\n"
      "Units answered {}, connections held at the end {}, closed by the receiver {}\n",
      s.setup.units, s.setup.transport, s.setup.frame, s.setup.encrypted ? " (encrypted)" : "",
      pace, s.setup.durationSeconds, s.connected, s.setup.units, s.connectSeconds,
      c.connectFailures, c.sent, c.acks + c.nacks, c.acks, c.nacks, c.timeouts, c.badAnswers,
      c.lost, c.sendErrors, s.framesPerSecond, s.answersPerSecond, s.sendSeconds,
      Millis(s.latency.p50), Millis(s.latency.p99), Millis(s.latency.max), s.latency.count,
      s.unitsAnswered, s.heldAtEnd, c.disconnects);
}

std::string LoadSummaryJson(const LoadSummary& s) {
  const LoadCounters& c = s.counters;
  const nlohmann::json json = {
      {"units", s.setup.units},
      {"transport", s.setup.transport},
      {"frame", s.setup.frame},
      {"encrypted", s.setup.encrypted},
      {"rate", s.setup.rate},
      {"durationSeconds", s.setup.durationSeconds},
      {"connected", s.connected},
      {"connectFailures", c.connectFailures},
      {"connectSeconds", s.connectSeconds},
      {"sent", c.sent},
      {"answers", c.acks + c.nacks},
      {"acks", c.acks},
      {"nacks", c.nacks},
      {"timeouts", c.timeouts},
      {"badAnswers", c.badAnswers},
      {"lost", c.lost},
      {"sendErrors", c.sendErrors},
      {"disconnects", c.disconnects},
      {"heldAtEnd", s.heldAtEnd},
      {"unitsAnswered", s.unitsAnswered},
      {"sendSeconds", s.sendSeconds},
      {"framesPerSecond", s.framesPerSecond},
      {"answersPerSecond", s.answersPerSecond},
      {"latencyMs",
       {{"p50", Millis(s.latency.p50)},
        {"p99", Millis(s.latency.p99)},
        {"max", Millis(s.latency.max)},
        {"count", s.latency.count}}},
  };
  return json.dump();
}

}  // namespace talvero
