#include "engine/filter_text.hpp"

#include <iterator>
#include <string_view>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "engine/date_time_text.hpp"

namespace talvero {
namespace {

std::string_view TransportText(TransportKind kind) {
  switch (kind) {
    case TransportKind::Tcp:
      return "tcp";
    case TransportKind::Udp:
      return "udp";
    default:
      return "";
  }
}

}  // namespace

void BuildFilterText(uint16_t unit, const TUnitStruct& slot, std::string& text) {
  DateTimeTextBuffer first;
  DateTimeTextBuffer last;
  // Built on the stack and assigned once, so the text is allocated at most once.
  fmt::memory_buffer line;
  fmt::format_to(std::back_inserter(line), FMT_COMPILE("{:04X} {} {} {}:{} {} {} {} {} "), unit,
                 slot.Imei.View(), TransportText(slot.TrProto), slot.IP.View(), slot.Port,
                 DateTimeText(slot.FirstMsgTime, first), DateTimeText(slot.LastMsgTime, last),
                 slot.FwVer.View(), slot.Account.View());
  line.push_back(slot.GsmLevel);
  text.assign(line.data(), line.size());
}

}  // namespace talvero
