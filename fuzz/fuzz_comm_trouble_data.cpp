// Resources/ctdata.dat of any bytes. A file that cannot be read throws, as its
// reader promises; anything else must neither crash nor read out of bounds.
#include <filesystem>
#include <stdexcept>

#include "engine/unit_table.hpp"
#include "fuzz_support.hpp"
#include "station/comm_trouble_data.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "ctdata.dat";
  testing::WriteFile(path, fuzzing::Bytes(data, size));
  static std::vector<CommTrLimit> limits(kUnitCount);
  std::fill(limits.begin(), limits.end(), CommTrLimit{15, 60, 240});
  try {
    LoadCommTrData(path, limits);
  } catch (const std::runtime_error&) {
    // Refused as a whole: the limits stay as they were.
    for (const CommTrLimit& limit : limits) {
      if (limit != CommTrLimit{15, 60, 240}) {
        fuzzing::Finding("a refused file changed the limits");
      }
    }
  }
  return 0;
}
