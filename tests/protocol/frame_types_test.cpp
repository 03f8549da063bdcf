#include "protocol/frame_types.hpp"

#include <gtest/gtest.h>

#include <map>

namespace talvero {
namespace {

void ExpectAcceptsExactly(const FrameTypeTable& table, const std::map<int, size_t>& expected) {
  for (int type = 0; type < 256; ++type) {
    const auto it = expected.find(type);
    const size_t size = it == expected.end() ? 0 : it->second;
    EXPECT_EQ(table.IsAccepted(static_cast<uint8_t>(type)), size != 0) << type;
    EXPECT_EQ(table.SizeByType(static_cast<uint8_t>(type)), size) << type;
  }
}

const std::map<int, size_t> kFromEveryUnit = {{1, 15},  {6, 28}, {10, 9}, {32, 24},
                                              {34, 27}, {35, 9}, {37, 10}};

TEST(FrameTypes, ServiceHostAcceptsTheUnitFramesWithoutTemperatures) {
  ExpectAcceptsExactly(FrameTypeTable(HostKind::Service), kFromEveryUnit);
}

TEST(FrameTypes, DesktopHostAlsoAcceptsTemperatures) {
  auto desktop = kFromEveryUnit;
  desktop[45] = 42;
  ExpectAcceptsExactly(FrameTypeTable(HostKind::Desktop), desktop);
}

}  // namespace
}  // namespace talvero
