#pragma once

#include <memory>
#include <string>

#include "base/clock.hpp"
#include "hosts/metrics_text.hpp"
#include "hosts/net_address.hpp"
#include "platform/metrics_server.hpp"

namespace talvero {

class ReceiverEngine;

// The sample of one scrape: the counters, the receiver's state now, and the
// process figures. unixNowSeconds is the wall clock's Unix time at clock.Now(),
// which turns the receiver's local times into Unix times.
MetricsSample SampleReceiver(ReceiverEngine& engine, const Clock& clock, double unixNowSeconds);

// What /metrics answers, on the event thread.
std::string ScrapeReceiver(ReceiverEngine& engine, const Clock& clock);

// Serves /metrics of the engine at the address and tells where in "All msg";
// throws std::runtime_error when the address cannot be had.
std::unique_ptr<MetricsServer> ServeMetrics(boost::asio::io_context& io, ReceiverEngine& engine,
                                            const Clock& clock, const NetAddress& address);

}  // namespace talvero
