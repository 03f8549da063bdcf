// Talvero.db of any bytes and sizes through the start-up load. The first byte
// chooses the file: bit 0..1 = 0 the bytes as they are, 1 the bytes at the
// front of a file of the version-2 size, 2 of the version-1 size (which the
// load upgrades); bit 2 the desktop host.
#include <filesystem>

#include "engine/unit_database.hpp"
#include "engine/unit_record.hpp"
#include "fuzz_support.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  if (size < 1) {
    return 0;
  }
  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "Talvero.db";
  std::string bytes(fuzzing::Bytes(data + 1, size - 1));
  const int layout = data[0] & 3;
  if (layout == 1 || layout == 2) {
    bytes.resize(layout == 1 ? kVersion2FileSize : kVersion1FileSize, '\0');
  }
  testing::WriteFile(path, bytes);
  static UnitTables tables;
  tables = UnitTables{};
  testing::RecordingLogger log;
  const HostKind host = (data[0] & 4) != 0 ? HostKind::Desktop : HostKind::Service;
  UnitDatabase database(tables, log, {host, path.string(), nullptr, {}});
  if (database.ConnDB()) {
    database.ReadDB_and_FillU_onStartUp({15, 60, 240});
  }
  return 0;
}
