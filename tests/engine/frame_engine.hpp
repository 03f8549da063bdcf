#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/host_kind.hpp"
#include "engine/frame_processor.hpp"
#include "engine/settings.hpp"
#include "engine/unit_database.hpp"
#include "engine/unit_record.hpp"
#include "engine/unit_table.hpp"
#include "log/watch_dog.hpp"
#include "station/comm_trouble_supervisor.hpp"
#include "station/station_bridge.hpp"
#include "station/station_link.hpp"
#include "support/fake_serial_port.hpp"
#include "support/fake_transport.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_host_observer.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero::testing {

// The parts a FrameProcessor works with, as the hosts compose them: a real
// unit database file in a temporary folder, the station link on a fake serial
// port, the watchdog delivering buffered commands, all on virtual time.
struct FrameEngine {
  explicit FrameEngine(HostKind host, Settings initial = {})
      : host(host),
        settings(std::move(initial)),
        database(tables, log, {host, (dir.path() / "Talvero.db").string(), nullptr, {}}),
        link(port, time, time, log, host, observer, settings),
        commTrouble(tables, database, link, time, time, log, host, observer, settings),
        station(link, commTrouble, settings),
        watchDog(time),
        processor(tables, database, station, watchDog, settings, time, log, host, observer) {
    if (!database.ConnDB() || !database.ReadDB_and_FillU_onStartUp({15, 60, 240})) {
      throw std::runtime_error("the unit database did not load");
    }
    port.Open(settings.SerialPort);
    watchDog.OnTimeout = [this](const std::string& key) { processor.DeliverBufCmd(key); };
    log.Clear();
  }

  // The unit's 40 bytes in the database file, read back from disk.
  std::vector<uint8_t> DbRecord(uint16_t unit) const {
    const std::vector<uint8_t> file = ReadFileBytes(dir.path() / "Talvero.db");
    const size_t offset = size_t{unit} * kUnitRecordSize;
    if (file.size() < offset + kUnitRecordSize) {
      throw std::runtime_error("the unit database file ends before the record");
    }
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset);
    return {begin, begin + kUnitRecordSize};
  }

  TUnitStruct& Unit(uint16_t unit) { return tables.UnitTable[unit]; }

  HostKind host;
  TempDir dir;
  VirtualTime time{At(2024, 3, 7, 9, 0, 0)};
  RecordingLogger log;
  RecordingHostObserver observer;
  Settings settings;
  UnitTables tables;
  UnitDatabase database;
  FakeSerialPort port;
  StationLink link;
  CommTroubleSupervisor commTrouble;
  StationBridge station;
  TWatchDog watchDog;
  FrameProcessor processor;
};

// Builds a fresh engine when a test asks for one, on the host the test names or
// on the fixture's own, with a TCP route to send frames through.
class FrameEngineTest : public ::testing::Test {
 protected:
  explicit FrameEngineTest(HostKind defaultHost = HostKind::Service) : defaultHost_(defaultHost) {}

  FrameEngine& Engine() { return Engine(defaultHost_); }
  FrameEngine& Engine(HostKind host, Settings settings = {}) {
    engine = std::make_unique<FrameEngine>(host, std::move(settings));
    return *engine;
  }

  std::unique_ptr<FrameEngine> engine;
  std::shared_ptr<FakeTransport> tcp = MakeTcpRoute("10.0.0.5", 4001);

 private:
  HostKind defaultHost_;
};

}  // namespace talvero::testing
