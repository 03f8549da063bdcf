#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "log/exe_folder.hpp"
#include "log/service_logger.hpp"
#include "platform/system_clock.hpp"

namespace talvero {
namespace {

// A home folder of its own under the temporary folder, removed afterwards.
class BenchHome {
 public:
  BenchHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "talvero-bench-log-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
    SetExeFolder(path_.string());
  }
  ~BenchHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

 private:
  std::filesystem::path path_;
};

// The service host's busiest channel: each line opens, appends and closes the
// day's "All msg" file.
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
