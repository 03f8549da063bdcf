// Start-up load of a full unit database, and the memory of the full table.
#include <malloc.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "engine/unit_database.hpp"
#include "engine/unit_record.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {
namespace {

using bench::BenchFolder;
using bench::SilentLogger;

constexpr CommTrLimit kDefaults{15, 60, 240};

// A Talvero.db in a temporary folder with every one of the 65,536 records in use.
class FullDatabase {
 public:
  FullDatabase() {
    std::vector<uint8_t> bytes(kVersion2FileSize);
    for (size_t unit = 0; unit < kUnitCount; ++unit) {
      uint8_t* r = bytes.data() + unit * kUnitRecordSize;
      const auto put = [r](size_t offset, uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i) {
          r[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        }
      };
      namespace at = record_offset;
      r[at::kInUse] = 1;
      r[at::kTrProto] = static_cast<uint8_t>(1 + unit % 2);
      put(at::kImei, 351234560000000 + unit, 8);
      put(at::kIP, 0x0A000000 + unit, 4);
      put(at::kPort, 1024 + unit % 60000, 2);
      put(at::kFirstMsgTime, 760'000'000 + unit, 4);
      put(at::kLastMsgTime, 770'000'000 + unit, 4);
      r[at::kFwRaw] = 2;
      r[at::kFwRaw + 1] = 1;
      r[at::kFwRaw + 2] = static_cast<uint8_t>(unit);
      const std::string account = UnitText(static_cast<uint16_t>(unit));
      std::copy(account.begin(), account.end(), r + at::kAccount);
      r[at::kGsmLevel] = static_cast<uint8_t>('0' + unit % 5);
    }
    std::ofstream out(Path(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  std::string Path() const { return (folder_.Path() / "Talvero.db").string(); }

 private:
  BenchFolder folder_;
};

// Resident set size as the kernel counts it.
double ResidentMiB() {
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
      resident = 0;
    }
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

// Runs first, on a fresh heap, so that no freed memory of another benchmark
// hides what the table takes.
void BM_FullUnitTableMemory(benchmark::State& state) {
  const FullDatabase file;
  for (auto _ : state) {
    const double before = ResidentMiB();
    auto tables = std::make_unique<UnitTables>();
    SilentLogger log;
    UnitDatabase db(*tables, log, {HostKind::Service, file.Path(), nullptr, {}});
    if (!db.ConnDB() || !db.ReadDB_and_FillU_onStartUp(kDefaults)) {
      state.SkipWithError("load failed");
      break;
    }
    const double after = ResidentMiB();
    size_t active = 0;
    for (const auto& slot : tables->UnitTable) {
      active += slot.Active;
    }
    state.counters["units_in_use"] = static_cast<double>(active);
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_after_MiB"] = after;
    state.counters["table_MiB"] = after - before;
    // Without the freed read buffer that the heap may still hold.
    malloc_trim(0);
    state.counters["table_trimmed_MiB"] = ResidentMiB() - before;
    state.counters["sizeof_TUnitStruct"] = sizeof(TUnitStruct);
  }
}
BENCHMARK(BM_FullUnitTableMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadDB_and_FillU_onStartUp(benchmark::State& state) {
  const FullDatabase file;
  SilentLogger log;
  for (auto _ : state) {
    state.PauseTiming();
    auto tables = std::make_unique<UnitTables>();
    auto db = std::make_unique<UnitDatabase>(
        *tables, log, UnitDatabase::Options{HostKind::Service, file.Path(), nullptr, {}});
    if (!db->ConnDB()) {
      state.SkipWithError("ConnDB failed");
      break;
    }
    state.ResumeTiming();
    if (!db->ReadDB_and_FillU_onStartUp(kDefaults)) {
      state.SkipWithError("load failed");
      break;
    }
    state.PauseTiming();
    benchmark::DoNotOptimize(tables->UnitTable[0xFFFF].FilterText.data());
    db.reset();
    tables.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadDB_and_FillU_onStartUp)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace talvero

BENCHMARK_MAIN();
