#include "hosts/grid_rows.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;

TEST(GridRows, ColoursFollowTheTroubleLevel) {
  const struct {
    uint8_t flags;
    std::string top, bottom, selectedText;
  } cases[] = {
      {0, "#FFFFFF", "#DEDEDE", "#0000FF"},   {1, "#FFFFFF", "#FED17A", "#0000FF"},
      {2, "#FFEDD5", "#FF9E1C", "#FFFFFF"},   {3, "#FFEDD5", "#FF9E1C", "#FFFFFF"},
      {4, "#FFC18B", "#FF7B00", "#FFFFFF"},   {5, "#FFC18B", "#FF7B00", "#FFFFFF"},
      {255, "#FFC18B", "#FF7B00", "#FFFFFF"},
  };
  for (const auto& c : cases) {
    const RowColours colours = RowColoursOf(c.flags);
    EXPECT_EQ(colours.top, c.top) << int{c.flags};
    EXPECT_EQ(colours.bottom, c.bottom) << int{c.flags};
    EXPECT_EQ(colours.selectedText, c.selectedText) << int{c.flags};
  }
}

TEST(GridRows, ARowShowsTheSlotAndTheSilenceUpToNow) {
  UnitTables tables;
  TUnitStruct& u = tables.UnitTable[0x0A01];
  u.Active = 1;
  u.Account = "1234";
  u.TrProto = TransportKind::Udp;
  u.IP = "10.0.0.7";
  u.Port = 5007;
  u.FirstMsgTime = At(2024, 3, 1, 8, 0, 0);
  u.LastMsgTime = At(2024, 3, 6, 7, 58, 56);
  u.Imei = "351234567890123";
  u.FwVer = "2.1.0";
  u.GsmLevel = '3';
  u.CommTrFlags = 2;
  u.CmdBuffer = {"Get Ping=x", "Reset Device=y"};
  tables.CommTrLimits[0x0A01] = {15, 0, 240};

  const GridRow row = MakeGridRow(tables, 0x0A01, At(2024, 3, 7, 9, 0, 0));
  EXPECT_EQ(row.unitText, "0A01");
  EXPECT_EQ(row.account, "1234");
  EXPECT_EQ(row.transport, "UDP");
  EXPECT_EQ(row.ip, "10.0.0.7");
  EXPECT_EQ(row.port, 5007);
  EXPECT_EQ(row.lastTestTime, "2024-03-06 07:58:56");
  EXPECT_EQ(row.noTestTime, "1d. 01:01:04");
  EXPECT_EQ(row.firstMsgTime, "2024-03-01 08:00:00");
  EXPECT_EQ(row.imei, "351234567890123");
  EXPECT_EQ(row.fwVer, "2.1.0");
  EXPECT_EQ(row.gsmIcon, 3);
  EXPECT_EQ(row.commTr, (std::array<int32_t, 3>{15, 0, 240}));
  EXPECT_EQ(row.cmdCount, 2u);
  EXPECT_EQ(row.colours.bottom, "#FF9E1C");

  for (const char level : {'5', '9', ' ', '\0'}) {
    u.GsmLevel = level;
    EXPECT_EQ(MakeGridRow(tables, 0x0A01, At(2024, 3, 7, 9, 0, 0)).gsmIcon, -1) << level;
  }
  u.TrProto = TransportKind::Unknown;
  EXPECT_EQ(MakeGridRow(tables, 0x0A01, At(2024, 3, 7, 9, 0, 0)).transport, "");
}

TEST(GridRows, TheFilterKeepsUnitsInUseWhoseTextHoldsItLetterCaseCounting) {
  UnitTables tables;
  for (const uint16_t unit : {1, 2, 0xFFFF}) {
    tables.UnitTable[unit].Active = 1;
  }
  tables.UnitTable[1].FilterText = "0001 ABCD tcp";
  tables.UnitTable[2].FilterText = "0002 abcd udp";
  tables.UnitTable[3].FilterText = "0003 ABCD";  // not in use
  tables.UnitTable[0xFFFF].FilterText = "FFFF ABCD";

  EXPECT_EQ(FilteredUnits(tables, "ABCD"), (std::vector<uint16_t>{1, 0xFFFF}));
  EXPECT_EQ(FilteredUnits(tables, "abcd"), (std::vector<uint16_t>{2}));
  EXPECT_EQ(FilteredUnits(tables, "  udp "), (std::vector<uint16_t>{2}));
  EXPECT_EQ(FilteredUnits(tables, "   "), (std::vector<uint16_t>{1, 2, 0xFFFF}));
  EXPECT_EQ(FilteredUnits(tables, ""), (std::vector<uint16_t>{1, 2, 0xFFFF}));
  EXPECT_TRUE(FilteredUnits(tables, "zzz").empty());
}

TEST(GridRows, TheFilterBoxIsAquaAndWaitsLongerWhileItHoldsAText) {
  const FilterBox typed = FilterBoxOf(" ab ");
  EXPECT_EQ(typed.text, "ab");
  EXPECT_EQ(typed.colour, "#00FFFF");
  EXPECT_EQ(typed.delay.count(), 1500);
  const FilterBox blank = FilterBoxOf(" \t");
  EXPECT_EQ(blank.text, "");
  EXPECT_EQ(blank.colour, "#FFFFFF");
  EXPECT_EQ(blank.delay.count(), 100);
}

TEST(GridRows, ColumnsHaveTheirCaptionsAndWidthsInOrder) {
  std::vector<std::string> captions;
  int width = 0;
  for (const GridColumn& column : kGridColumns) {
    captions.emplace_back(column.caption);
    width += column.width;
  }
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Unit ID", "Account", "IP:Port", "Last Test Time",
                                      "No Test Time", "First Msg Time", "Imei", "FirmWare Ver",
                                      "GSM", "Comm Tr. 1", "Comm Tr. 2", "Comm Tr. 3", "Cmd"}));
  EXPECT_EQ(width, 40 + 45 + 135 + 105 + 95 + 105 + 100 + 70 + 29 + 60 + 60 + 60 + 29);
}

}  // namespace
}  // namespace talvero
