#include "station/station_line.hpp"

#include <fmt/format.h>

namespace talvero {
namespace {

// "5" receiver (two digits at least) line " 18" account: the head all lines share.
std::string LineHead(int receiverNumber, int lineNumber, std::string_view account) {
  return fmt::format("5{:02d}{:d} 18{}", receiverNumber, lineNumber, account);
}

}  // namespace

StationLine AlarmEventLine(int receiverNumber, int lineNumber, std::string_view account,
                           std::string_view eventCode, std::string_view group,
                           std::string_view zone) {
  std::string line = LineHead(receiverNumber, lineNumber, account);
  line.append(eventCode).append(group).append(zone);
  return line;
}

StationLine CommTroubleLine(int receiverNumber, int lineNumber, std::string_view account,
                            int level) {
  return LineHead(receiverNumber, lineNumber, account) + fmt::format("E35000{:03d}", level);
}

StationLine CommRestoreLine(int receiverNumber, int lineNumber, std::string_view account) {
  return LineHead(receiverNumber, lineNumber, account) + "R35000000";
}

}  // namespace talvero
