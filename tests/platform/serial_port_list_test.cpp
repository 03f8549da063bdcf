#include "platform/serial_port_list.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

TEST(SerialPortList, ListsTheSerialDevicesByKindAndNumber) {
  testing::TempDir dev;
  for (const std::string name : {"ttyUSB1", "ttyS10", "ttyS2", "ttyACM0", "ttyUSB0", "tty1",
                                 "ttySx", "null", "ttyS", "ttyUSB-1"}) {
    testing::WriteFile(dev.path() / name, "");
  }
  EXPECT_EQ(ListSerialPorts(dev.path()),
            (std::vector<std::string>{"ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyACM0"}));
  EXPECT_TRUE(ListSerialPorts(dev.path() / "missing").empty());
}

}  // namespace
}  // namespace talvero
