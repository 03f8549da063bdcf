#include "engine/filter_text.hpp"

#include <gtest/gtest.h>

#include "engine/date_time_text.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;

TEST(BuildFilterText, SummarisesTheSlotInOneLine) {
  TUnitStruct slot;
  slot.Imei = "351234567890123";
  slot.TrProto = TransportKind::Tcp;
  slot.IP = "10.0.0.5";
  slot.Port = 4001;
  slot.FirstMsgTime = At(2024, 5, 6, 7, 8, 9, 500);
  slot.LastMsgTime = At(2024, 12, 31, 23, 59, 59);
  slot.FwVer = "1.2.10";
  slot.Account = "12AB";
  slot.GsmLevel = '5';
  std::string text = "old text that must go";
  BuildFilterText(0x00AB, slot, text);
  EXPECT_EQ(text,
            "00AB 351234567890123 tcp 10.0.0.5:4001 2024-05-06 07:08:09 2024-12-31 23:59:59 "
            "1.2.10 12AB 5");

  slot.TrProto = TransportKind::Udp;
  BuildFilterText(0xFFFF, slot, text);
  EXPECT_EQ(text.substr(0, 24), "FFFF 351234567890123 udp");
}

TEST(BuildFilterText, AnEmptySlotKeepsEveryPlace) {
  TUnitStruct slot;
  std::string text;
  BuildFilterText(0, slot, text);
  EXPECT_EQ(text, std::string("0000   :0     \0", 15));
}

TEST(DateTimeText, UsesTheOneDateFormat) {
  EXPECT_EQ(DateTimeText(At(2024, 1, 2, 3, 4, 5, 999)), "2024-01-02 03:04:05");
  EXPECT_EQ(DateTimeText(At(1931, 12, 13, 20, 45, 52)), "1931-12-13 20:45:52");
  EXPECT_EQ(DateTimeText(TDateTime{}), "");
}

TEST(DateTimeText, ReadsBackOnlyItsOwnForm) {
  EXPECT_EQ(ParseDateTimeText("2024-01-02 03:04:05"), At(2024, 1, 2, 3, 4, 5));
  EXPECT_EQ(ParseDateTimeText(DateTimeText(At(1931, 12, 13, 20, 45, 52))),
            At(1931, 12, 13, 20, 45, 52));
  for (const char* text : {"", "2024-01-02 03:04", "2024-01-02 03:04:05 ", "2024/01/02 03:04:05",
                           "2024-13-02 03:04:05", "2023-02-29 03:04:05", "2024-01-02 24:00:00",
                           "02.01.2024 03:04:05", "2024-01-02T03:04:05", "+024-01-02 03:04:05"}) {
    EXPECT_EQ(ParseDateTimeText(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace talvero
