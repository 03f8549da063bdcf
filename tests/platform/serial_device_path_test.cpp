#include "platform/serial_device_path.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.hpp"

namespace talvero {
namespace {

struct NameCase {
  std::string name;
  std::optional<std::string> device;  // under the dev dir; nullopt: no device
};

TEST(SerialDevicePathTest, MapsNamesToDevices) {
  testing::TempDir devDir;
  // A device that exists under the name itself wins over the mapping.
  std::ofstream(devDir.path() / "COM9").put('x');

  const std::vector<NameCase> cases = {
      {"COM1", "ttyS0"},
      {"COM2", "ttyS1"},
      {"COM10", "ttyS9"},
      {"com3", "ttyS2"},
      {"USB0", "ttyUSB0"},
      {"USB12", "ttyUSB12"},
      {"ACM0", "ttyACM0"},
      {"acm1", "ttyACM1"},
      {"COM9", "COM9"},
      {"COM0", "COM0"},
      {"COM", "COM"},
      {"COMX", "COMX"},
      {"COM-1", "COM-1"},
      {"COM1a", "COM1a"},
      {"CNCA1", "CNCA1"},
      {"ttyS4", "ttyS4"},
      {"COM99999999999", "COM99999999999"},
      {"", std::nullopt},
      {".", std::nullopt},
      {"..", std::nullopt},
      {"pts/3", "pts/3"},
      {"pts/COM1", "pts/COM1"},
      {"a/../b", "b"},
      {"../x", std::nullopt},
      {"pts/../../x", std::nullopt},
      {"pts/..", std::nullopt},
      {"./", std::nullopt},
      {"/dev/ttyS0", std::nullopt},
      {"/x", std::nullopt},
      {std::string("C\0M1", 4), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = SerialDevicePath(devDir.path(), c.name);
    if (c.device) {
      ASSERT_TRUE(path);
      EXPECT_EQ(*path, devDir.path() / *c.device);
    } else {
      EXPECT_FALSE(path);
    }
  }
}

}  // namespace
}  // namespace talvero
