#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.hpp"
#include "engine/unit_table.hpp"

namespace talvero {

// The Test Time Monitor's columns, in order, with their widths in pixels.
struct GridColumn {
  std::string_view caption;
  int width;
};
inline constexpr std::array<GridColumn, 13> kGridColumns{{
    {"Unit ID", 40},
    {"Account", 45},
    {"IP:Port", 135},
    {"Last Test Time", 105},
    {"No Test Time", 95},
    {"First Msg Time", 105},
    {"Imei", 100},
    {"FirmWare Ver", 70},
    {"GSM", 29},
    {"Comm Tr. 1", 60},
    {"Comm Tr. 2", 60},
    {"Comm Tr. 3", 60},
    {"Cmd", 29},
}};

// A cell's vertical gradient and the text colour of the selected row, by the
// unit's communication-trouble flags ("#RRGGBB").
struct RowColours {
  std::string_view top;
  std::string_view bottom;
  std::string_view selectedText;
};
RowColours RowColoursOf(uint8_t commTrFlags);

// One row of the grid, worked out from the unit's slot at the moment it is
// painted, so "No Test Time" is always fresh.
struct GridRow {
  uint16_t unit = 0;
  std::string unitText;
  std::string account;
  std::string transport;  // "TCP", "UDP", or empty before the first frame
  std::string ip;
  int32_t port = 0;
  std::string lastTestTime;
  std::string noTestTime;
  std::string firstMsgTime;
  std::string imei;
  std::string fwVer;
  int gsmIcon = -1;  // 0..4 for GsmLevel '0'..'4'; -1 shows no icon
  std::array<int32_t, 3> commTr{};
  size_t cmdCount = 0;  // shown when above 0
  RowColours colours;
};
GridRow MakeGridRow(const UnitTables& tables, uint16_t unit, TDateTime now);

// The filter box: the trimmed text, and how the box shows it.
struct FilterBox {
  std::string text;
  std::string_view colour;          // aqua while it holds a text, white when empty
  std::chrono::milliseconds delay;  // from the last change to the filter run
};
FilterBox FilterBoxOf(std::string_view typed);

// The units the grid shows, in order: every slot in use whose filter text
// holds the trimmed filter, letter case counting; every slot in use for an
// empty filter.
std::vector<uint16_t> FilteredUnits(const UnitTables& tables, std::string_view filter);

}  // namespace talvero
