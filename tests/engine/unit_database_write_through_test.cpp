#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/unit_database.hpp"
#include "engine/unit_record.hpp"
#include "support/file_bytes.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

// After the load, field writes go through a shared mapping of the file; each
// must be in the file at once, whatever state the file started in.
namespace talvero {
namespace {

using testing::ReadFileBytes;
using testing::WriteFile;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr CommTrLimit kDefaults{15, 60, 240};

UnitDatabase::Options ServiceDatabase(const fs::path& path) {
  UnitDatabase::Options options;
  options.host = HostKind::Service;
  options.path = path.string();
  return options;
}

struct Engine {
  explicit Engine(const fs::path& path) : db(tables, log, ServiceDatabase(path)) {}
  bool Start() { return db.ConnDB() && db.ReadDB_and_FillU_onStartUp(kDefaults); }

  UnitTables tables;
  testing::RecordingLogger log;
  UnitDatabase db;
};

TEST(UnitDatabaseWriteThrough, EveryChangeIsInTheFileAtOnceAndLoadsBack) {
  struct Case {
    const char* name;
    Bytes before;  // empty: no file
  };
  Bytes version1(kVersion1FileSize);
  version1[12 * kUnitRecordSize] = 1;  // moves to unit 0x0012
  const Case cases[] = {
      {"new file", {}},
      {"version-2 file", Bytes(kVersion2FileSize)},
      {"version-1 file, grown by the load", version1},
  };
  for (const auto& c : cases) {
    talvero::testing::TempDir dir;
    const fs::path path = dir.path() / "Talvero.db";
    if (!c.before.empty()) {
      WriteFile(path, c.before);
    }
    {
      Engine engine(path);
      ASSERT_TRUE(engine.Start()) << c.name;
      TUnitStruct& unit = engine.tables.UnitTable[0xFFFF];
      unit.Active = 1;
      engine.db.WriteUnitField(0xFFFF, UnitField::Active);
      unit.Account = "AB12";
      engine.db.WriteUnitField(0xFFFF, UnitField::Account);
      const Bytes now = ReadFileBytes(path);
      ASSERT_EQ(now.size(), kVersion2FileSize) << c.name;
      const size_t record = 0xFFFF * kUnitRecordSize;
      EXPECT_EQ(now[record], 1) << c.name;
      EXPECT_EQ(std::string(now.begin() + record + 30, now.begin() + record + 34), "AB12")
          << c.name;

      const bool moved = c.before.size() == kVersion1FileSize;
      EXPECT_EQ(now[0x12 * kUnitRecordSize], moved ? 1 : 0) << c.name;
      engine.db.DeleteUnit(0x0012, kDefaults);
      EXPECT_EQ(ReadFileBytes(path)[0x12 * kUnitRecordSize], 0) << c.name;
    }
    Engine restarted(path);
    ASSERT_TRUE(restarted.Start()) << c.name;
    EXPECT_EQ(restarted.tables.UnitTable[0xFFFF].Active, 1) << c.name;
    EXPECT_EQ(restarted.tables.UnitTable[0xFFFF].Account, "AB12") << c.name;
    EXPECT_EQ(restarted.tables.UnitTable[0x0012].Active, 0) << c.name;
  }
}

}  // namespace
}  // namespace talvero
