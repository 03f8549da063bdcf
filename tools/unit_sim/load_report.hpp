#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "unit_sim/latency_stats.hpp"

namespace talvero {

// What one load run counted.
struct LoadCounters {
  uint64_t sent = 0;
  uint64_t acks = 0;  // the expected answer
  uint64_t nacks = 0;
  uint64_t timeouts = 0;    // no answer within the time-out
  uint64_t badAnswers = 0;  // unreadable, no answer to the frame waiting, or late
  uint64_t lost = 0;        // the connection closed while the frame waited
  uint64_t sendErrors = 0;
  uint64_t connectFailures = 0;
  uint64_t disconnects = 0;  // connections the receiver closed during the run
};

// How the run was set up, for the report.
struct LoadSetup {
  size_t units = 0;
  std::string transport;  // "tcp" or "udp"
  std::string frame;      // "Ping" or "AlarmEvent"
  double rate = 0;        // 0: as fast as possible
  double durationSeconds = 0;
  bool encrypted = false;
};

struct LoadSummary {
  LoadSetup setup;
  LoadCounters counters;
  size_t connected = 0;         // units connected when sending began
  size_t heldAtEnd = 0;         // connections still open when the run ended
  size_t unitsAnswered = 0;     // units that got at least one answer
  double connectSeconds = 0;    // time taken to connect every unit
  double sendSeconds = 0;       // time of the sending phase
  double framesPerSecond = 0;   // frames sent per second of sending
  double answersPerSecond = 0;  // Acks and Nacks per second of sending
  LatencySummary latency;       // microseconds, over Acks and Nacks
};

// Fills in the rates and the latency summary from the counters and samples.
LoadSummary MakeLoadSummary(const LoadSetup& setup, const LoadCounters& counters,
                            std::vector<uint32_t>& latencySamples, double sendSeconds);

std::string LoadSummaryText(const LoadSummary& summary);
std::string LoadSummaryJson(const LoadSummary& summary);

}  // namespace talvero
