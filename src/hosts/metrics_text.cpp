#include "hosts/metrics_text.hpp"

#include <fmt/format.h>

#include <iterator>
#include <string_view>

namespace talvero {
namespace {

class Exposition {
 public:
  // The HELP and TYPE lines of a family; its samples follow.
  void Family(std::string_view name, std::string_view type, std::string_view help) {
    fmt::format_to(std::back_inserter(text_), "# HELP {} {}\n# TYPE {} {}\n", name, help, name,
                   type);
  }
  template <typename Value>
  void Sample(std::string_view name, std::string_view labels, Value value) {
    if (labels.empty()) {
      fmt::format_to(std::back_inserter(text_), "{} {}\n", name, value);
    } else {
      fmt::format_to(std::back_inserter(text_), "{}{{{}}} {}\n", name, labels, value);
    }
  }
  template <typename Value>
  void Single(std::string_view name, std::string_view type, std::string_view help, Value value) {
    Family(name, type, help);
    Sample(name, {}, value);
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

constexpr std::array<std::string_view, kFrameRefusalCount> kRefusalNames = {"checksum", "size",
                                                                            "type", "decryption"};

void FrameFamilies(Exposition& out, const RuntimeMetrics& c) {
  out.Family("talvero_frames_received_total", "counter",
             "Frames received from units, by transport and frame type (the first byte).");
  for (size_t transport = 0; transport < c.framesReceived.size(); ++transport) {
    for (size_t type = 0; type < c.framesReceived[transport].size(); ++type) {
      if (const uint64_t count = c.framesReceived[transport][type]; count > 0) {
        out.Sample(
            "talvero_frames_received_total",
            fmt::format("transport=\"{}\",type=\"{}\"", transport == 0 ? "tcp" : "udp", type),
            count);
      }
    }
  }
  out.Family("talvero_frames_refused_total", "counter", "Frames refused with a NACK, by reason.");
  for (size_t reason = 0; reason < kRefusalNames.size(); ++reason) {
    out.Sample("talvero_frames_refused_total", fmt::format("reason=\"{}\"", kRefusalNames[reason]),
               c.framesRefused[reason]);
  }
  out.Family("talvero_answers_sent_total", "counter", "Answers sent to units.");
  out.Sample("talvero_answers_sent_total", "answer=\"ack\"", c.acksSent);
  out.Sample("talvero_answers_sent_total", "answer=\"nack\"", c.nacksSent);
  out.Single("talvero_tcp_connections", "gauge", "TCP connections of units open now.",
             c.tcpConnectionsOpen);
}

void UnitFamilies(Exposition& out, const MetricsSample& s) {
  out.Single("talvero_units_in_use", "gauge", "Units in the unit table.", s.unitsInUse);
  out.Family("talvero_units_in_trouble", "gauge",
             "Units in use whose communication trouble of this level is raised.");
  for (size_t level = 0; level < s.unitsInTrouble.size(); ++level) {
    out.Sample("talvero_units_in_trouble", fmt::format("level=\"{}\"", level + 1),
               s.unitsInTrouble[level]);
  }
}

void StationFamilies(Exposition& out, const MetricsSample& s) {
  const RuntimeMetrics& c = s.counters;
  out.Single("talvero_station_lines_queued", "gauge",
             "Lines waiting for the monitoring software's answer, heartbeats included.",
             s.stationLinesQueued);
  out.Single("talvero_station_oldest_line_age_seconds", "gauge",
             "Seconds since the line at the head of the queue was queued; 0 when empty.",
             s.oldestLineAgeSeconds);
  out.Single("talvero_station_lines_sent_total", "counter",
             "Lines written to the station output for the first time.", c.stationLinesSent);
  out.Single("talvero_station_lines_resent_total", "counter",
             "Lines written to the station output again (no answer, NAK, output back).",
             c.stationLinesResent);
  out.Family("talvero_station_answers_total", "counter",
             "Answers of the monitoring software: a lone NAK, or anything else (ack).");
  out.Sample("talvero_station_answers_total", "answer=\"ack\"", c.stationAcks);
  out.Sample("talvero_station_answers_total", "answer=\"nak\"", c.stationNaks);
  out.Single("talvero_station_output_up", "gauge",
             "1 while the station output (serial port or TCP connection) is open.",
             s.stationOutputUp ? 1 : 0);
  out.Single("talvero_station_last_answer_timestamp_seconds", "gauge",
             "Unix time of the monitoring software's last answer (the start until one came).",
             s.lastStationAnswerSeconds);
  out.Single("talvero_station_last_heartbeat_answer_timestamp_seconds", "gauge",
             "Unix time of the last answer to a heartbeat line (the start until one came).",
             s.lastHeartbeatAnswerSeconds);
  out.Single("talvero_log_write_failures_total", "counter",
             "Log files that could not be created, opened or written.",
             c.logWriteFailures.load(std::memory_order_relaxed));
}

void ProcessFamilies(Exposition& out, const ProcessStats& p) {
  out.Single("process_cpu_seconds_total", "counter",
             "Total user and system CPU time spent in seconds.", p.cpuSeconds);
  out.Single("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
             p.residentBytes);
  out.Single("process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
             p.virtualBytes);
  out.Single("process_open_fds", "gauge", "Number of open file descriptors.", p.openFds);
  out.Single("process_max_fds", "gauge", "Maximum number of open file descriptors.", p.maxFds);
  out.Single("process_start_time_seconds", "gauge",
             "Start time of the process since unix epoch in seconds.", p.startTimeSeconds);
}

}  // namespace

std::string MetricsText(const MetricsSample& sample) {
  Exposition out;
  FrameFamilies(out, sample.counters);
  UnitFamilies(out, sample);
  StationFamilies(out, sample);
  if (sample.process) {
    ProcessFamilies(out, *sample.process);
  }
  return out.Take();
}

}  // namespace talvero
