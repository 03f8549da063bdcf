#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.hpp"
#include "log/service_logger.hpp"
#include "platform/system_clock.hpp"

namespace talvero {
namespace {

using bench::BenchHome;

// The service host's busiest channel: each line is one write to the day's
// "All msg" file, which the channel keeps open.
void BM_ServiceLogAllMsg(benchmark::State& state) {
  BenchHome home;
  SystemClock clock;
  ServiceLogger logger(clock);
  const std::string message =
      "[Unit 00A1] [Account 1234] Recv: 0x0A00A1000A1200" + std::string(40, '7');
  for (auto _ : state) {
    logger.LogAllMsg(message);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ServiceLogAllMsg);

}  // namespace
}  // namespace talvero

BENCHMARK_MAIN();
