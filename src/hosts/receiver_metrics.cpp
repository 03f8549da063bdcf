#include "hosts/receiver_metrics.hpp"

#include <fmt/format.h>

#include <chrono>

#include "hosts/process_stats.hpp"
#include "hosts/receiver_engine.hpp"

namespace talvero {
namespace {

double SecondsBetween(TDateTime earlier, TDateTime later) {
  return static_cast<double>(later.ms - earlier.ms) / 1000.0;
}

}  // namespace

MetricsSample SampleReceiver(ReceiverEngine& engine, const Clock& clock, double unixNowSeconds) {
  MetricsSample sample(Metrics());
  for (const TUnitStruct& unit : engine.Tables().UnitTable) {
    if (unit.Active == 0) {
      continue;
    }
    ++sample.unitsInUse;
    sample.unitsInTrouble[0] += (unit.CommTrFlags & kCommTrLevel1) != 0 ? 1 : 0;
    sample.unitsInTrouble[1] += (unit.CommTrFlags & kCommTrLevel2) != 0 ? 1 : 0;
    sample.unitsInTrouble[2] += (unit.CommTrFlags & kCommTrLevel3) != 0 ? 1 : 0;
  }
  const TDateTime now = clock.Now();
  const StationLink& link = engine.Link();
  sample.stationLinesQueued = link.Queue().size();
  if (const auto queuedAt = link.OldestLineQueuedAt()) {
    sample.oldestLineAgeSeconds = std::max(0.0, SecondsBetween(*queuedAt, now));
  }
  sample.stationOutputUp = link.OutputOpen();
  const auto unixTime = [&](TDateTime moment) {
    return unixNowSeconds - SecondsBetween(moment.IsZero() ? engine.StartTime() : moment, now);
  };
  sample.lastStationAnswerSeconds = unixTime(sample.counters.lastStationAnswer);
  sample.lastHeartbeatAnswerSeconds = unixTime(sample.counters.lastHeartbeatAnswer);
  sample.process = ReadProcessStats();
  return sample;
}

std::string ScrapeReceiver(ReceiverEngine& engine, const Clock& clock) {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  const double unixNow = std::chrono::duration<double>(since).count();
  return MetricsText(SampleReceiver(engine, clock, unixNow));
}

std::unique_ptr<MetricsServer> ServeMetrics(boost::asio::io_context& io, ReceiverEngine& engine,
                                            const Clock& clock, const NetAddress& address) {
  MetricsServerOptions options;
  options.host = address.host;
  options.port = address.port;
  auto server = std::make_unique<MetricsServer>(
      io, options, engine.Log(), [&engine, &clock] { return ScrapeReceiver(engine, clock); });
  server->Start();
  engine.Log().LogAllMsg(
      fmt::format("Metrics at http://{}:{}/metrics", address.host, server->LocalPort()));
  return server;
}

}  // namespace talvero
