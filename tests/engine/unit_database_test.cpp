#include "engine/unit_database.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/unit_record.hpp"
#include "support/fake_transport.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_host_observer.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using Log = talvero::testing::RecordingLogger;
using talvero::testing::At;
using talvero::testing::ReadFileBytes;
using talvero::testing::WriteFile;
using Kind = Log::Kind;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr CommTrLimit kDefaults{15, 60, 240};

Bytes LittleEndian(uint64_t value, size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return bytes;
}

Bytes RecordOf(const Bytes& file, size_t unit) {
  const auto begin = file.begin() + static_cast<std::ptrdiff_t>(unit * kUnitRecordSize);
  return Bytes(begin, begin + kUnitRecordSize);
}

void PutRecord(Bytes& file, size_t unit, const Bytes& record) {
  std::copy(record.begin(), record.end(),
            file.begin() + static_cast<std::ptrdiff_t>(unit * kUnitRecordSize));
}

// An in-use record whose every field tells which record it is.
Bytes TaggedRecord(unsigned tag) {
  Bytes record(kUnitRecordSize);
  record[0] = 1;
  record[2] = static_cast<uint8_t>(tag % 8);
  record[3] = static_cast<uint8_t>(1 + tag % 2);
  const auto put = [&](size_t offset, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
  };
  put(5, LittleEndian(350000000000000 + tag, 8));
  put(13, LittleEndian(0x0A000000 + tag, 4));
  put(17, LittleEndian(4000 + tag, 2));
  put(19, LittleEndian(700'000'000 + tag, 4));
  put(23, LittleEndian(800'000'000 + tag, 4));
  put(27, {1, 2, static_cast<uint8_t>(tag)});
  const std::string account = fmt::format("{:04d}", tag % 10000);
  put(30, Bytes(account.begin(), account.end()));
  record[34] = static_cast<uint8_t>('0' + tag % 10);
  return record;
}

// Writes a version-1 file holding the tagged records of these indexes.
void WriteVersion1File(const fs::path& path, std::initializer_list<unsigned> indexes) {
  Bytes content(kVersion1FileSize);
  for (const unsigned index : indexes) {
    PutRecord(content, index, TaggedRecord(index));
  }
  WriteFile(path, content);
}

// The unit a version-1 record moves to: its decimal digits read as hexadecimal.
uint16_t MovedUnit(size_t index) {
  return static_cast<uint16_t>(std::stoul(std::to_string(index), nullptr, 16));
}

// One engine's unit tables, logs and database over one file.
struct DbHost {
  explicit DbHost(const fs::path& path, HostKind host = HostKind::Desktop,
                  std::function<void(std::vector<CommTrLimit>&)> loadCommTrData = {})
      : db(tables, log,
           {host, path.string(), &observer,
            loadCommTrData ? std::function<void()>(
                                 [this, loadCommTrData] { loadCommTrData(tables.CommTrLimits); })
                           : std::function<void()>()}) {}

  bool Start() { return db.ConnDB() && db.ReadDB_and_FillU_onStartUp(kDefaults); }
  TUnitStruct& Unit(size_t unit) { return tables.UnitTable[unit]; }
  size_t ActiveCount() const {
    size_t count = 0;
    for (const auto& slot : tables.UnitTable) {
      count += slot.Active == 1;
    }
    return count;
  }

  UnitTables tables;
  Log log;
  talvero::testing::RecordingHostObserver observer;
  UnitDatabase db;
};

struct HostTexts {
  HostKind host;
  const char* noDb;
  const char* createFailed;
  const char* connectFailed;
  const char* badSize;
};

const HostTexts kHosts[] = {
    {HostKind::Desktop, "No DB found. Creating new database ..",
     "ERROR creating new DB. Application will not run.",
     "ERROR connecting to DB. Application will not run.",
     "ERROR!! Database size is invalid. Please repair or delete database (Talvero.db) and launch "
     "the application again"},
    {HostKind::Service, "No DB find. Creating new database ..",
     "ERROR creating new DB. Service will not run.",
     "ERROR connecting to DB. Service will not run.",
     "ERROR!! Database size is invalid. Please repair or delete database (Talvero.db) and launch "
     "the service again."},
};

TEST(ConnDB, CreatesAMissingFileAndLoadsIt) {
  for (const auto& texts : kHosts) {
    SCOPED_TRACE(texts.noDb);
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    DbHost host(path, texts.host, [](std::vector<CommTrLimit>& limits) { limits[7] = {1, 2, 3}; });
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(
        host.log.Texts(Kind::All),
        (std::vector<std::string>{texts.noDb, "New database created",
                                  "Connecting to existing database .. ", "Connected to database"}));
    EXPECT_TRUE(host.log.Texts(Kind::Imp).empty());
    EXPECT_TRUE(host.log.Texts(Kind::ErrorText).empty());
    EXPECT_EQ(ReadFileBytes(path), Bytes(kVersion2FileSize));
    EXPECT_EQ(host.db.RecordsToLoad(), kVersion2RecordCount);
    EXPECT_EQ(host.ActiveCount(), 0u);
    EXPECT_EQ(host.tables.CommTrLimits[7], kDefaults);  // no unit 7 in the file
    EXPECT_TRUE(host.observer.changedUnits.empty());
  }
}

TEST(ConnDB, ReportsAFileThatCannotBeCreated) {
  for (const auto& texts : kHosts) {
    talvero::testing::TempDir dir;
    DbHost host(dir.path() / "missing-folder" / "Talvero.db", texts.host);
    EXPECT_FALSE(host.db.ConnDB());
    EXPECT_EQ(host.log.ErrNames(), std::vector<std::string>{"CreateNewDB"});
    EXPECT_EQ(host.log.Texts(Kind::ErrorText), std::vector<std::string>{texts.createFailed});
    EXPECT_EQ(host.log.Texts(Kind::All), std::vector<std::string>{texts.noDb});
    EXPECT_FALSE(host.db.IsOpen());
  }
}

TEST(ConnDB, RefusesAFileOfAnyOtherSizeAndLeavesItAlone) {
  for (const auto& texts : kHosts) {
    for (const size_t size : {size_t{0}, size_t{1}, size_t{399'999}, size_t{400'001},
                              size_t{2'621'439}, size_t{2'621'441}}) {
      SCOPED_TRACE(size);
      talvero::testing::TempDir dir;
      const fs::path path = dir.path() / "Talvero.db";
      Bytes content(size, 0);
      if (size > 0) {
        content[0] = 1;
      }
      WriteFile(path, content);
      DbHost host(path, texts.host);
      EXPECT_FALSE(host.db.ConnDB());
      EXPECT_EQ(host.log.Texts(Kind::ErrorText),
                (std::vector<std::string>{texts.badSize, texts.connectFailed}));
      EXPECT_EQ(host.log.Texts(Kind::All),
                std::vector<std::string>{"Connecting to existing database .. "});
      EXPECT_FALSE(host.db.IsOpen());
      EXPECT_FALSE(host.db.ReadDB_and_FillU_onStartUp(kDefaults));
      EXPECT_EQ(ReadFileBytes(path), content);
      EXPECT_EQ(host.ActiveCount(), 0u);
    }
  }
}

TEST(ConnDB, ReportsAFileThatCannotBeOpened) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  fs::create_directory(path);
  DbHost host(path, HostKind::Service);
  EXPECT_FALSE(host.db.ConnDB());
  EXPECT_EQ(host.log.ErrNames(), std::vector<std::string>{"ReadExistDB"});
  EXPECT_EQ(host.log.Texts(Kind::ErrorText),
            std::vector<std::string>{"ERROR connecting to DB. Service will not run."});
}

TEST(ConnDB, LetsOneEngineAtATimeHaveTheFile) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  WriteVersion1File(path, {12});
  const Bytes content = ReadFileBytes(path);

  auto first = std::make_unique<DbHost>(path);
  ASSERT_TRUE(first->db.ConnDB());

  // Another open in this process, through its own file description.
  DbHost second(path);
  EXPECT_FALSE(second.db.ConnDB());
  EXPECT_EQ(second.log.ErrNames(), std::vector<std::string>{"ReadExistDB"});
  EXPECT_TRUE(second.log.Has(Kind::Err, "in use by another process"));
  EXPECT_EQ(second.log.Texts(Kind::ErrorText),
            std::vector<std::string>{"ERROR connecting to DB. Application will not run."});
  EXPECT_FALSE(second.db.ReadDB_and_FillU_onStartUp(kDefaults));

  // Another process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Log log;
    UnitDatabase db(second.tables, log, {HostKind::Service, path.string(), nullptr, {}});
    const bool refused = !db.ConnDB() && log.ErrNames() == std::vector<std::string>{"ReadExistDB"};
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(ReadFileBytes(path), content);  // still version 1, nothing moved
  first.reset();
  DbHost third(path);
  EXPECT_TRUE(third.Start());
  EXPECT_EQ(third.Unit(0x12).Account, "0012");
}

TEST(ReadDB_and_FillU_onStartUp, TakesTheRecordsInUseAndDropsThresholdsOfEmptySlots) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  Bytes content(kVersion2FileSize);
  for (const unsigned unit : {0u, 5u, 0xFFFFu}) {
    PutRecord(content, unit, TaggedRecord(unit));
  }
  Bytes notInUse = TaggedRecord(6);
  notInUse[0] = 2;
  PutRecord(content, 6, notInUse);
  WriteFile(path, content);

  for (const HostKind kind : {HostKind::Desktop, HostKind::Service}) {
    DbHost host(path, kind, [](std::vector<CommTrLimit>& limits) {
      limits[5] = {1, 2, 3};
      limits[6] = {4, 5, 6};
    });
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(host.ActiveCount(), 3u);
    EXPECT_EQ(host.Unit(0).Active, 1);
    EXPECT_EQ(host.Unit(0xFFFF).Account, fmt::format("{:04d}", 0xFFFF % 10000));
    EXPECT_EQ(host.Unit(6).Active, 0);
    const TUnitStruct& five = host.Unit(5);
    EXPECT_EQ(five.Imei, "350000000000005");
    EXPECT_EQ(five.IP, "10.0.0.5");
    EXPECT_EQ(five.Port, 4005);
    EXPECT_EQ(five.FilterText.substr(0, 25), "0005 350000000000005 udp ");
    EXPECT_EQ(host.tables.CommTrLimits[5], (CommTrLimit{1, 2, 3}));
    EXPECT_EQ(host.tables.CommTrLimits[6], kDefaults);
    EXPECT_EQ(host.tables.CommTrLimits[0], kDefaults);
    EXPECT_EQ(host.observer.changedUnits, kind == HostKind::Desktop
                                              ? (std::vector<uint16_t>{0, 5, 0xFFFF})
                                              : std::vector<uint16_t>{});
    EXPECT_TRUE(host.log.Texts(Kind::Imp).empty());
    EXPECT_EQ(host.log.entries.size(), 2u);  // the two connect messages
  }
  EXPECT_EQ(ReadFileBytes(path), content);
}

TEST(ReadDB_and_FillU_onStartUp, FailsWithUnreadableThresholdsAndLeavesTheFileAlone) {
  for (const uint64_t size : {kVersion1FileSize, kVersion2FileSize}) {
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    Bytes content(size);
    PutRecord(content, 16, TaggedRecord(16));
    WriteFile(path, content);
    DbHost host(path, HostKind::Desktop, [](std::vector<CommTrLimit>&) {
      throw std::runtime_error("'x' is not a valid integer value");
    });
    ASSERT_TRUE(host.db.ConnDB());
    EXPECT_FALSE(host.db.ReadDB_and_FillU_onStartUp(kDefaults));
    EXPECT_EQ(host.log.ErrNames(), std::vector<std::string>{"ReadDB_and_FillU_onStartUp"});
    EXPECT_TRUE(host.log.Has(Kind::Err, "'x' is not a valid integer value"));
    EXPECT_EQ(ReadFileBytes(path), content);
  }
}

TEST(ReadDB_and_FillU_onStartUp, FailsWithoutAConnectedFile) {
  talvero::testing::TempDir dir;
  DbHost host(dir.path() / "Talvero.db");
  EXPECT_FALSE(host.db.ReadDB_and_FillU_onStartUp(kDefaults));
  EXPECT_EQ(host.log.ErrNames(), std::vector<std::string>{"ReadDB_and_FillU_onStartUp"});
}

TEST(ReadDB_and_FillU_onStartUp, RenumbersAVersion1FileOnce) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  const unsigned inUse[] = {9, 10, 16, 1234, 9999};
  Bytes content(kVersion1FileSize);
  for (const unsigned index : inUse) {
    PutRecord(content, index, TaggedRecord(index));
  }
  WriteFile(path, content);

  const auto savedThresholds = [&](std::vector<CommTrLimit>& limits) {
    for (const unsigned index : inUse) {
      limits[index] = {int32_t(index), 1, 2};
    }
    limits[22] = {99, 99, 99};      // empty in version 1, target of record 16
    limits[0x9999] = {98, 98, 98};  // target of record 9999
    limits[40'000] = {97, 97, 97};  // beyond version 1, empty
  };
  Bytes expected(kVersion2FileSize);
  {
    DbHost host(path, HostKind::Desktop, savedThresholds);
    ASSERT_TRUE(host.Start());
    EXPECT_EQ(host.log.Texts(Kind::Imp),
              std::vector<std::string>{"Loading Database (max 10000 units). Updating to Database "
                                       "v2 (max 65535 units)..."});
    EXPECT_TRUE(host.log.ErrNames().empty());

    EXPECT_EQ(host.ActiveCount(), std::size(inUse));
    for (const unsigned index : inUse) {
      SCOPED_TRACE(index);
      const uint16_t unit = MovedUnit(index);
      const TUnitStruct& slot = host.Unit(unit);
      EXPECT_EQ(slot.Active, 1);
      EXPECT_EQ(slot.Account, fmt::format("{:04d}", index));
      EXPECT_EQ(slot.Imei, fmt::format("{}", 350000000000000 + index));
      EXPECT_EQ(slot.FilterText.substr(0, 4), fmt::format("{:04X}", unit));
      EXPECT_EQ(host.tables.CommTrLimits[unit], (CommTrLimit{int32_t(index), 1, 2}));
      PutRecord(expected, unit, TaggedRecord(index));
    }
    EXPECT_EQ(MovedUnit(16), 22);
    for (const unsigned emptied : {10u, 1234u, 9999u, 40'000u}) {
      EXPECT_EQ(host.Unit(emptied).Active, 0) << emptied;
      EXPECT_EQ(host.tables.CommTrLimits[emptied], kDefaults) << emptied;
    }
    const Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), kVersion2FileSize);
    EXPECT_TRUE(file == expected);
    EXPECT_EQ(RecordOf(file, 16), TaggedRecord(10));
    EXPECT_EQ(RecordOf(file, 22), TaggedRecord(16));
    EXPECT_EQ(RecordOf(file, 10), Bytes(kUnitRecordSize));
    std::vector<uint16_t> rows = host.observer.changedUnits;
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<uint16_t>{9, 16, 22, 0x1234, 0x9999}));
  }
  DbHost again(path, HostKind::Desktop);
  ASSERT_TRUE(again.Start());
  EXPECT_TRUE(again.log.Texts(Kind::Imp).empty());
  EXPECT_EQ(again.db.RecordsToLoad(), kVersion2RecordCount);
  EXPECT_EQ(again.ActiveCount(), std::size(inUse));
  EXPECT_EQ(again.Unit(16).Account, "0010");
  EXPECT_EQ(again.Unit(22).Account, "0016");
  EXPECT_TRUE(ReadFileBytes(path) == expected);
}

TEST(ReadDB_and_FillU_onStartUp, LoadsAnyBytesSafely) {
  std::mt19937 random(20240506);
  const auto randomFile = [&](uint64_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) {
      b = static_cast<uint8_t>(random());
    }
    for (size_t offset = 0; offset < size; offset += kUnitRecordSize) {
      if (random() % 2 == 0) {
        bytes[offset] = 1;
      }
    }
    return bytes;
  };
  const auto check = [](DbHost& host) {
    for (size_t unit = 0; unit < kUnitCount; ++unit) {
      const TUnitStruct& slot = host.Unit(unit);
      if (slot.Active == 1) {
        ASSERT_TRUE(slot.GsmLevel == ' ' || (slot.GsmLevel >= '0' && slot.GsmLevel <= '9'));
        ASSERT_LE(slot.Imei.size(), 15u);
        ASSERT_GE(slot.Port, 0);
        ASSERT_LE(slot.Port, 65535);
        ASSERT_EQ(slot.FilterText.substr(0, 4), fmt::format("{:04X}", unit));
      }
    }
  };
  {
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    const Bytes content = randomFile(kVersion2FileSize);
    WriteFile(path, content);
    DbHost host(path);
    ASSERT_TRUE(host.Start());
    size_t inUse = 0;
    for (size_t unit = 0; unit < kUnitCount; ++unit) {
      inUse += content[unit * kUnitRecordSize] == 1;
    }
    EXPECT_EQ(host.ActiveCount(), inUse);
    check(host);
    EXPECT_TRUE(ReadFileBytes(path) == content);
  }
  {
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    const Bytes content = randomFile(kVersion1FileSize);
    WriteFile(path, content);
    DbHost host(path);
    ASSERT_TRUE(host.Start());
    check(host);
    const Bytes file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), kVersion2FileSize);
    size_t inUse = 0;
    for (size_t index = 0; index < kVersion1RecordCount; ++index) {
      const Bytes record = RecordOf(content, index);
      if (record[0] == 1) {
        ++inUse;
        ASSERT_EQ(RecordOf(file, MovedUnit(index)), record) << index;
      }
    }
    EXPECT_EQ(host.ActiveCount(), inUse);
  }
}

TEST(WriteUnitField, WritesOnlyTheFieldsBytesAndTheyLoadBack) {
  constexpr uint16_t kUnit = 0x1234;
  struct Case {
    const char* name;
    UnitField field;
    std::function<void(TUnitStruct&)> set;
    size_t offset;
    Bytes bytes;
    std::function<void(const TUnitStruct&)> check;
  };
  const Case cases[] = {
      {"first message time", UnitField::FirstMsgTime,
       [](TUnitStruct& u) { u.FirstMsgTime = At(2024, 5, 6, 7, 8, 9, 750); }, 19,
       LittleEndian(768'294'489, 4),
       [](const TUnitStruct& u) { EXPECT_EQ(u.FirstMsgTime, At(2024, 5, 6, 7, 8, 9)); }},
      {"last message time before 2000", UnitField::LastMsgTime,
       [](TUnitStruct& u) { u.LastMsgTime = At(1999, 12, 31, 23, 59, 50); }, 23,
       LittleEndian(10, 4),
       [](const TUnitStruct& u) { EXPECT_EQ(u.LastMsgTime, At(2000, 1, 1, 0, 0, 10)); }},
      {"transport",
       UnitField::TrProto,
       [](TUnitStruct& u) { u.TrProto = TransportKind::Udp; },
       3,
       {2},
       [](const TUnitStruct& u) { EXPECT_EQ(u.TrProto, TransportKind::Udp); }},
      {"address",
       UnitField::Address,
       [](TUnitStruct& u) {
         u.IP = "192.168.1.20";
         u.Port = 4001;
       },
       13,
       {0x14, 0x01, 0xA8, 0xC0, 0xA1, 0x0F},
       [](const TUnitStruct& u) {
         EXPECT_EQ(u.IP, "192.168.1.20");
         EXPECT_EQ(u.Port, 4001);
       }},
      {"empty address", UnitField::Address,
       [](TUnitStruct& u) {
         u.IP = "";
         u.Port = 0;
       },
       13, Bytes(6),
       [](const TUnitStruct& u) {
         EXPECT_EQ(u.IP, "0.0.0.0");
         EXPECT_EQ(u.Port, 0);
       }},
      {"IMEI with a leading zero", UnitField::Imei,
       [](TUnitStruct& u) { u.Imei = "012345678901234"; }, 5, LittleEndian(12345678901234, 8),
       [](const TUnitStruct& u) { EXPECT_EQ(u.Imei, "012345678901234"); }},
      {"empty IMEI", UnitField::Imei, [](TUnitStruct& u) { u.Imei = ""; }, 5, Bytes(8),
       [](const TUnitStruct& u) { EXPECT_TRUE(u.Imei.empty()); }},
      {"firmware",
       UnitField::FwRaw,
       [](TUnitStruct& u) { u.FwRaw = "\x01\x02\x0A"; },
       27,
       {1, 2, 10},
       [](const TUnitStruct& u) { EXPECT_EQ(u.FwVer, "1.2.10"); }},
      {"account",
       UnitField::Account,
       [](TUnitStruct& u) { u.Account = "12AB"; },
       30,
       {'1', '2', 'A', 'B'},
       [](const TUnitStruct& u) { EXPECT_EQ(u.Account, "12AB"); }},
      {"short account",
       UnitField::Account,
       [](TUnitStruct& u) { u.Account = "12"; },
       30,
       {'1', '2', 0, 0},
       [](const TUnitStruct& u) { EXPECT_EQ(u.Account, "12"); }},
      {"GSM level",
       UnitField::GsmLevel,
       [](TUnitStruct& u) { u.GsmLevel = '5'; },
       34,
       {'5'},
       [](const TUnitStruct& u) { EXPECT_EQ(u.GsmLevel, '5'); }},
      {"trouble flags",
       UnitField::CommTrFlags,
       [](TUnitStruct& u) { u.CommTrFlags = 5; },
       2,
       {5},
       [](const TUnitStruct& u) { EXPECT_EQ(u.CommTrFlags, 5); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    Bytes content(kVersion2FileSize);
    PutRecord(content, kUnit, Bytes(kUnitRecordSize, 0xAA));  // byte 0 0xAA: empty slot
    WriteFile(path, content);
    {
      DbHost host(path);
      ASSERT_TRUE(host.Start());
      TUnitStruct& slot = host.Unit(kUnit);
      ASSERT_EQ(slot.Active, 0);
      slot.Active = 1;
      host.db.WriteUnitField(kUnit, UnitField::Active);
      Bytes expected = content;
      expected[kUnit * kUnitRecordSize] = 1;
      Bytes file = ReadFileBytes(path);
      ASSERT_TRUE(file == expected);

      c.set(slot);
      host.db.WriteUnitField(kUnit, c.field);
      std::copy(c.bytes.begin(), c.bytes.end(),
                expected.begin() + static_cast<std::ptrdiff_t>(kUnit * kUnitRecordSize + c.offset));
      file = ReadFileBytes(path);
      EXPECT_EQ(RecordOf(file, kUnit), RecordOf(expected, kUnit));
      EXPECT_TRUE(file == expected);
    }
    DbHost restarted(path);
    ASSERT_TRUE(restarted.Start());
    EXPECT_EQ(restarted.Unit(kUnit).Active, 1);
    c.check(restarted.Unit(kUnit));
  }
}

TEST(WriteUnitField, WritesIntoTheSlotsAVersion1FileMovedAway) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  WriteVersion1File(path, {10});
  DbHost host(path);
  ASSERT_TRUE(host.Start());
  ASSERT_EQ(host.Unit(10).Active, 0);

  // The bytes the record had before its move are no longer in the file.
  host.Unit(10).Active = 1;
  host.db.WriteUnitField(10, UnitField::Active);
  host.Unit(10).Account = "0010";
  host.db.WriteUnitField(10, UnitField::Account);
  const Bytes file = ReadFileBytes(path);
  Bytes expected(kUnitRecordSize);
  expected[0] = 1;
  std::copy_n("0010", 4, expected.begin() + 30);
  EXPECT_EQ(RecordOf(file, 10), expected);
  EXPECT_EQ(RecordOf(file, 0x10), TaggedRecord(10));

  // Nor are the zeros the record's new place had before it.
  host.Unit(0x10).Active = 0;
  host.db.WriteUnitField(0x10, UnitField::Active);
  EXPECT_EQ(RecordOf(ReadFileBytes(path), 0x10)[0], 0);
}

TEST(WriteUnitField, TriesAFailedWriteAgainWithTheSameBytes) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  DbHost host(path);
  ASSERT_TRUE(host.Start());
  constexpr uint16_t kUnit = 0xF000;  // its record lies beyond the first megabyte

  // A file size limit below the record makes its write fail with EFBIG.
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  host.Unit(kUnit).Active = 1;
  EXPECT_THROW(host.db.WriteUnitField(kUnit, UnitField::Active), std::runtime_error);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, oldHandler);
  ASSERT_EQ(RecordOf(ReadFileBytes(path), kUnit)[0], 0);

  host.db.WriteUnitField(kUnit, UnitField::Active);
  EXPECT_EQ(RecordOf(ReadFileBytes(path), kUnit)[0], 1);
}

// Write system calls of this thread so far (pwrite among them): the database
// writes on the caller's thread, while other threads (a log writer, the
// sanitizers) may write meanwhile.
uint64_t WriteCalls() {
  std::ifstream io("/proc/thread-self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "syscw:") {
      return value;
    }
  }
  ADD_FAILURE() << "no syscw in /proc/thread-self/io";
  return 0;
}

// A frame that changes several fields of its unit, and the flags of another.
void ChangeTwoUnits(DbHost& host) {
  TUnitStruct& u = host.Unit(0x0101);
  u.Active = 1;
  host.db.WriteUnitField(0x0101, UnitField::Active);
  u.FirstMsgTime = At(2024, 5, 6, 7, 8, 9);
  host.db.WriteUnitField(0x0101, UnitField::FirstMsgTime);
  u.IP = "10.1.2.3";
  u.Port = 5000;
  host.db.WriteUnitField(0x0101, UnitField::Address);
  host.Unit(0x0202).CommTrFlags = 3;
  host.db.WriteUnitField(0x0202, UnitField::CommTrFlags);
  u.LastMsgTime = At(2024, 5, 6, 7, 8, 10);
  host.db.WriteUnitField(0x0101, UnitField::LastMsgTime);
  u.GsmLevel = '7';
  host.db.WriteUnitField(0x0101, UnitField::GsmLevel);
}

TEST(WriteTogether, WritesEachChangedRecordOnceWithTheBytesOfSingleWrites) {
  talvero::testing::TempDir dir;
  DbHost single(dir.path() / "single.db");
  ASSERT_TRUE(single.Start());
  ChangeTwoUnits(single);

  DbHost together(dir.path() / "together.db");
  ASSERT_TRUE(together.Start());
  const uint64_t before = WriteCalls();
  together.db.WriteTogether([&] {
    ChangeTwoUnits(together);
    EXPECT_EQ(ReadFileBytes(dir.path() / "together.db"), Bytes(kVersion2FileSize));
  });
  const uint64_t writes = WriteCalls() - before;
  EXPECT_TRUE(ReadFileBytes(dir.path() / "together.db") == ReadFileBytes(dir.path() / "single.db"));

  // Nothing changed: nothing written.
  const uint64_t again = WriteCalls();
  together.db.WriteTogether([&] { ChangeTwoUnits(together); });
#ifndef TALVERO_SANITIZED
  // UndefinedBehaviorSanitizer's checks write to a pipe of their own on this
  // thread, so only the plain build counts the database's writes exactly.
  EXPECT_EQ(writes, 2u);
  EXPECT_EQ(WriteCalls(), again);
#else
  EXPECT_GE(writes, 2u);
  (void)again;
#endif
}

TEST(WriteTogether, WritesWhatAFailingOperationChangedAndLetsItsFailureGoOn) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  DbHost host(path);
  ASSERT_TRUE(host.Start());
  EXPECT_THROW(host.db.WriteTogether([&] {
    host.Unit(9).Active = 1;
    host.db.WriteUnitField(9, UnitField::Active);
    throw std::logic_error("the operation's own failure");
  }),
               std::logic_error);
  EXPECT_EQ(RecordOf(ReadFileBytes(path), 9)[0], 1);
}

TEST(WriteTogether, TriesEveryRecordAndWritesAFailedOneWithItsNextChange) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  DbHost host(path);
  ASSERT_TRUE(host.Start());
  constexpr uint16_t kFar = 0xF000;  // beyond the first megabyte
  constexpr uint16_t kNear = 0x0010;

  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(host.db.WriteTogether([&] {
    host.Unit(kFar).Active = 1;
    host.db.WriteUnitField(kFar, UnitField::Active);
    host.Unit(kNear).Active = 1;
    host.db.WriteUnitField(kNear, UnitField::Active);
  }),
               std::runtime_error);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, oldHandler);
  Bytes file = ReadFileBytes(path);
  EXPECT_EQ(RecordOf(file, kNear)[0], 1);
  EXPECT_EQ(RecordOf(file, kFar)[0], 0);

  // The record's next change carries the bytes that did not reach the file.
  host.Unit(kFar).GsmLevel = '4';
  host.db.WriteTogether([&] { host.db.WriteUnitField(kFar, UnitField::GsmLevel); });
  file = ReadFileBytes(path);
  EXPECT_EQ(RecordOf(file, kFar)[0], 1);
  EXPECT_EQ(RecordOf(file, kFar)[34], '4');
}

TEST(WriteUnitField, RefusesAnImeiThatIsNoNumber) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  DbHost host(path);
  ASSERT_TRUE(host.Start());
  host.Unit(3).Imei = "35123456789012x";
  EXPECT_THROW(host.db.WriteUnitField(3, UnitField::Imei), std::runtime_error);
  EXPECT_EQ(ReadFileBytes(path), Bytes(kVersion2FileSize));
}

TEST(WriteUnitField, FailsWithoutAnOpenFile) {
  talvero::testing::TempDir dir;
  DbHost host(dir.path() / "Talvero.db");
  host.Unit(3).Active = 1;
  EXPECT_THROW(host.db.WriteUnitField(3, UnitField::Active), std::runtime_error);
}

TEST(DeleteUnit, EmptiesTheSlotAndZeroesItsRecord) {
  talvero::testing::TempDir dir;
  const fs::path path = dir.path() / "Talvero.db";
  Bytes content(kVersion2FileSize);
  PutRecord(content, 5, TaggedRecord(5));
  PutRecord(content, 6, TaggedRecord(6));
  WriteFile(path, content);
  const auto route = talvero::testing::MakeTcpRoute("10.0.0.5", 4001);
  const TDateTime lastRecv = At(2024, 1, 2, 3, 4, 5);
  {
    DbHost host(path);
    ASSERT_TRUE(host.Start());
    host.log.Clear();
    TUnitStruct& slot = host.Unit(5);
    slot.Reserved = 1;
    slot.TcpConn = route;
    slot.UdpPeer = route;
    slot.CmdBuffer = {"Ping=\x01\x02", "Reset=\x03"};
    slot.CmdSentTime = lastRecv;
    slot.LastRecvTime = lastRecv;
    host.tables.EncrByUnit[5] = 1;
    host.tables.FrameIDByUnit[5] = 77;
    host.tables.CommTrLimits[5] = {1, 2, 3};

    host.db.DeleteUnit(5, kDefaults);
    EXPECT_EQ(slot.Active, 0);
    EXPECT_EQ(slot.Reserved, 0);
    EXPECT_EQ(slot.CommTrFlags, 0);
    EXPECT_EQ(slot.TrProto, TransportKind::Unknown);
    EXPECT_TRUE(slot.IP.empty() && slot.Imei.empty() && slot.FwRaw.empty() && slot.FwVer.empty() &&
                slot.Account.empty() && slot.FilterText.empty());
    EXPECT_EQ(slot.Port, 0);
    EXPECT_TRUE(slot.LastMsgTime.IsZero() && slot.FirstMsgTime.IsZero() &&
                slot.CmdSentTime.IsZero());
    EXPECT_EQ(slot.GsmLevel, '\0');
    EXPECT_TRUE(slot.TcpConn.expired() && slot.UdpPeer.expired());
    EXPECT_TRUE(slot.CmdBuffer.empty());
    EXPECT_EQ(slot.LastRecvTime, lastRecv);
    EXPECT_EQ(host.tables.EncrByUnit[5], 1);
    EXPECT_EQ(host.tables.FrameIDByUnit[5], 77);
    EXPECT_EQ(host.tables.CommTrLimits[5], kDefaults);
    EXPECT_TRUE(host.log.entries.empty());
    EXPECT_EQ(host.Unit(6).Active, 1);

    Bytes expected = content;
    PutRecord(expected, 5, Bytes(kUnitRecordSize));
    EXPECT_TRUE(ReadFileBytes(path) == expected);
  }
  DbHost restarted(path);
  ASSERT_TRUE(restarted.Start());
  EXPECT_EQ(restarted.Unit(5).Active, 0);
  EXPECT_EQ(restarted.Unit(6).Active, 1);
  EXPECT_EQ(restarted.ActiveCount(), 1u);
}

TEST(DeleteUnit, EmptiesTheSlotEvenWhenTheWriteFails) {
  talvero::testing::TempDir dir;
  DbHost host(dir.path() / "Talvero.db");
  host.Unit(5).Active = 1;
  host.Unit(5).Account = "1234";
  EXPECT_THROW(host.db.DeleteUnit(5, kDefaults), std::runtime_error);
  EXPECT_EQ(host.Unit(5).Active, 0);
  EXPECT_TRUE(host.Unit(5).Account.empty());
}

TEST(FindFirstFreeUnitNr, ReservesTheLowestNumberNeitherInUseNorReserved) {
  talvero::testing::TempDir dir;
  DbHost host(dir.path() / "Talvero.db");
  host.Unit(1).Active = 1;
  host.Unit(2).Active = 1;
  host.Unit(3).Reserved = 1;
  EXPECT_EQ(host.db.FindFirstFreeUnitNr(), "0004");
  EXPECT_EQ(host.Unit(4).Reserved, 1);
  EXPECT_EQ(host.db.FindFirstFreeUnitNr(), "0005");
  EXPECT_EQ(host.Unit(0).Reserved, 0);

  for (size_t unit = 1; unit < kUnitCount; ++unit) {
    host.Unit(unit).Reserved = 1;
  }
  host.Unit(0xFFFF).Reserved = 0;
  EXPECT_EQ(host.db.FindFirstFreeUnitNr(), "FFFF");  // the last one, handed out
  EXPECT_EQ(host.Unit(0xFFFF).Reserved, 1);
  EXPECT_EQ(host.db.FindFirstFreeUnitNr(), "FFFF");  // none left: slot 0 is never used
  EXPECT_EQ(host.Unit(0).Reserved, 0);
}

}  // namespace
}  // namespace talvero
