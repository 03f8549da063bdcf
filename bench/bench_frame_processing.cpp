// Frame processing in-process on the service profile: pings and alarm events
// from 1,000 units through ProcessRecMsg, with the service host's log files and
// a real unit database file in a temporary folder. The *SilentLog variants run
// the same frames with logs that write nothing, to show what the logs cost.
//
// System calls per frame: run a fixed-count variant under strace, e.g.
//   strace -c -f ./bench_frame_processing --benchmark_filter='BM_Ping/iterations:2000$'
// and the 4000 one, and divide the difference by 2000.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.hpp"
#include "engine/frame_processor.hpp"
#include "engine/settings.hpp"
#include "engine/unit_database.hpp"
#include "engine/unit_table.hpp"
#include "log/service_logger.hpp"
#include "log/watch_dog.hpp"
#include "platform/system_clock.hpp"
#include "protocol/crc8.hpp"
#include "protocol/frame_types.hpp"
#include "protocol/unit_id.hpp"
#include "station/comm_trouble_supervisor.hpp"
#include "station/station_bridge.hpp"
#include "station/station_link.hpp"

namespace talvero {
namespace {

using bench::BenchHome;
using bench::SilentLogger;

constexpr uint16_t kUnits = 1000;

// Timers that never fire: no buffered commands and no supervision rounds run here.
class IdleTimers final : public TimerFactory {
  class IdleTimer final : public Timer {
   public:
    void Start(std::chrono::milliseconds) override { running_ = true; }
    void Stop() override { running_ = false; }
    bool Running() const override { return running_; }

   private:
    bool running_ = false;
  };

 public:
  std::unique_ptr<Timer> MakeTimer(TimerKind, std::function<void()>) override {
    return std::make_unique<IdleTimer>();
  }
};

// The monitoring software's serial line: takes every write and answers it at
// once, as a station that is keeping up.
class AnsweringStation final : public SerialPort {
 public:
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::string Name() const override { return "COM1"; }
  void Write(std::string_view bytes) override { written += bytes.size(); }
  void SetChunkHandler(ChunkHandler handler) override { handler_ = std::move(handler); }
  void SetLossHandler(LossHandler) override {}
  void Answer() {
    if (handler_) {
      handler_("\x06");
    }
  }

  size_t written = 0;

 private:
  bool open_ = false;
  ChunkHandler handler_;
};

class SinkRoute final : public Transport {
 public:
  TransportKind Kind() const override { return TransportKind::Tcp; }
  void Send(std::string_view data) override { sent += data.size(); }
  std::string PeerAddress() const override { return "10.1.2.3"; }
  uint16_t PeerPort() const override { return 40001; }

  size_t sent = 0;
};

std::string Frame(DeviceFrameType type, uint16_t unit, std::string_view payload) {
  std::string frame(kFrameHeaderSize, '\0');
  frame[0] = static_cast<char>(type);
  frame[3] = 7;  // FrameID
  UnitIDToNibbles(unit, frame, kUnitIDOffset);
  frame.append(payload);
  return AddCrc8(frame);
}

std::string PingOf(uint16_t unit) {
  return Frame(DeviceFrameType::Ping, unit, {});
}

std::string AlarmEventOf(uint16_t unit) {
  const std::string dateTime = {24, 3, 7, 9, 0, 0};
  return Frame(DeviceFrameType::AlarmEvent, unit, dateTime + "1234" + "1130" + "01" + "005");
}

// One service engine around a FrameProcessor, every unit already known.
struct ServiceEngine {
  explicit ServiceEngine(bool silentLog)
      : log(silentLog ? std::unique_ptr<Logger>(new SilentLogger)
                      : std::unique_ptr<Logger>(new ServiceLogger(clock))),
        database(tables, *log,
                 {HostKind::Service, (home.Path() / "Talvero.db").string(), nullptr, {}}),
        link(port, clock, timers, *log, HostKind::Service, observer, settings),
        commTrouble(tables, database, link, clock, timers, *log, HostKind::Service, observer,
                    settings),
        station(link, commTrouble, settings),
        watchDog(timers),
        processor(tables, database, station, watchDog, settings, clock, *log, HostKind::Service,
                  observer) {
    if (!database.ConnDB() || !database.ReadDB_and_FillU_onStartUp({15, 60, 240})) {
      throw std::runtime_error("the unit database did not load");
    }
    link.DoActivateSerialPort();
    for (uint16_t unit = 1; unit <= kUnits; ++unit) {
      processor.ProcessRecMsg(route, PingOf(unit));
    }
  }

  BenchHome home;
  SystemClock clock;
  IdleTimers timers;
  HostObserver observer;
  Settings settings;
  std::unique_ptr<Logger> log;
  UnitTables tables;
  UnitDatabase database;
  AnsweringStation port;
  StationLink link;
  CommTroubleSupervisor commTrouble;
  StationBridge station;
  TWatchDog watchDog;
  FrameProcessor processor;
  Route route = std::make_shared<SinkRoute>();
};

std::vector<std::string> FramesOf(std::string (*make)(uint16_t)) {
  std::vector<std::string> frames;
  for (uint16_t unit = 1; unit <= kUnits; ++unit) {
    frames.push_back(make(unit));
  }
  return frames;
}

void RunFrames(benchmark::State& state, std::string (*make)(uint16_t), bool silentLog,
               bool answer) {
  ServiceEngine engine(silentLog);
  const std::vector<std::string> frames = FramesOf(make);
  size_t next = 0;
  for (auto _ : state) {
    engine.processor.ProcessRecMsg(engine.route, frames[next]);
    if (answer) {
      engine.port.Answer();
    }
    next = next + 1 == frames.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
  if (engine.link.Queue().size() > 1) {
    state.SkipWithError("the station queue grew");
  }
}

void BM_Ping(benchmark::State& state) {
  RunFrames(state, PingOf, false, false);
}
void BM_AlarmEvent(benchmark::State& state) {
  RunFrames(state, AlarmEventOf, false, true);
}
void BM_PingSilentLog(benchmark::State& state) {
  RunFrames(state, PingOf, true, false);
}
void BM_AlarmEventSilentLog(benchmark::State& state) {
  RunFrames(state, AlarmEventOf, true, true);
}

BENCHMARK(BM_Ping);
BENCHMARK(BM_AlarmEvent);
BENCHMARK(BM_PingSilentLog);
BENCHMARK(BM_AlarmEventSilentLog);
// Fixed counts for counting system calls: the difference of two runs is the
// cost of 2000 frames without the set-up.
BENCHMARK(BM_Ping)->Iterations(2000);
BENCHMARK(BM_Ping)->Iterations(4000);
BENCHMARK(BM_AlarmEvent)->Iterations(2000);
BENCHMARK(BM_AlarmEvent)->Iterations(4000);

}  // namespace
}  // namespace talvero

BENCHMARK_MAIN();
