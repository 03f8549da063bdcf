#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.hpp"
#include "protocol/cipher.hpp"
#include "protocol/crc8.hpp"

namespace talvero {
namespace {

using bench::SilentLogger;

std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    out[i] = static_cast<char>(i * 7 + 3);
  }
  return out;
}

// An AlarmEvent is the longest frame a unit sends in normal operation.
void BM_Crc8AlarmEventFrame(benchmark::State& state) {
  const std::string frame = Pattern(28);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Crc8(frame));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 28);
}
BENCHMARK(BM_Crc8AlarmEventFrame);

// The 23 covered bytes of an encrypted AlarmEvent; the key schedule dominates.
void BM_EncryptionAlarmEventBody(benchmark::State& state) {
  SilentLogger log;
  const std::string body = Pattern(23);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Encryption(body, 0x00, 0x05, "9873", log));
  }
}
BENCHMARK(BM_EncryptionAlarmEventBody);

}  // namespace
}  // namespace talvero

BENCHMARK_MAIN();
