#include "hosts/grid_rows.hpp"

#include "base/trim.hpp"
#include "engine/date_time_text.hpp"
#include "log/time_text.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {

RowColours RowColoursOf(uint8_t commTrFlags) {
  constexpr std::string_view kBlue = "#0000FF";
  constexpr std::string_view kWhite = "#FFFFFF";
  if (commTrFlags == 0) {
    return {"#FFFFFF", "#DEDEDE", kBlue};
  }
  if (commTrFlags == 1) {
    return {"#FFFFFF", "#FED17A", kBlue};
  }
  if (commTrFlags <= 3) {
    return {"#FFEDD5", "#FF9E1C", kWhite};
  }
  return {"#FFC18B", "#FF7B00", kWhite};
}

GridRow MakeGridRow(const UnitTables& tables, uint16_t unit, TDateTime now) {
  const TUnitStruct& u = tables.UnitTable[unit];
  GridRow row;
  row.unit = unit;
  row.unitText = UnitText(unit);
  row.account = u.Account.Str();
  row.transport = u.TrProto == TransportKind::Tcp   ? "TCP"
                  : u.TrProto == TransportKind::Udp ? "UDP"
                                                    : "";
  row.ip = u.IP.Str();
  row.port = u.Port;
  row.lastTestTime = DateTimeText(u.LastMsgTime);
  row.noTestTime = DurationText(std::chrono::milliseconds(now.ms - u.LastMsgTime.ms));
  row.firstMsgTime = DateTimeText(u.FirstMsgTime);
  row.imei = u.Imei.Str();
  row.fwVer = u.FwVer.Str();
  row.gsmIcon = u.GsmLevel >= '0' && u.GsmLevel <= '4' ? u.GsmLevel - '0' : -1;
  row.commTr = tables.CommTrLimits[unit];
  row.cmdCount = u.CmdBuffer.size();
  row.colours = RowColoursOf(u.CommTrFlags);
  return row;
}

FilterBox FilterBoxOf(std::string_view typed) {
  const std::string_view text = TrimText(typed);
  if (text.empty()) {
    return {{}, "#FFFFFF", std::chrono::milliseconds(100)};
  }
  return {std::string(text), "#00FFFF", std::chrono::milliseconds(1500)};
}

std::vector<uint16_t> FilteredUnits(const UnitTables& tables, std::string_view filter) {
  const std::string_view text = TrimText(filter);
  std::vector<uint16_t> units;
  for (size_t unit = 0; unit < kUnitCount; ++unit) {
    const TUnitStruct& u = tables.UnitTable[unit];
    if (u.Active != 0 && (text.empty() || u.FilterText.find(text) != std::string::npos)) {
      units.push_back(static_cast<uint16_t>(unit));
    }
  }
  return units;
}

}  // namespace talvero
