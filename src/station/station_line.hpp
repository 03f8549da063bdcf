#pragma once

#include <string>
#include <string_view>

namespace talvero {

// One line of the central-station receiver format, without its terminator.
using StationLine = std::string;

// Follows every line on the wire.
inline constexpr char kDc4 = '\x14';
// The answer to the monitoring software's own heartbeat.
inline constexpr char kAck = '\x06';
// The monitoring software's refusal of the line on the wire.
inline constexpr char kNak = '\x15';

// "1011", eleven blanks, "@", four blanks: the only line holding "@".
inline constexpr std::string_view kHeartbeatLine = "1011           @    ";

inline bool IsHeartbeat(std::string_view line) {
  return line.find('@') != std::string_view::npos;
}

// "5%.2d%d 18%s%s%s%s": eventCode carries its qualifier ("E130", "R401").
StationLine AlarmEventLine(int receiverNumber, int lineNumber, std::string_view account,
                           std::string_view eventCode, std::string_view group,
                           std::string_view zone);

// "5%.2d%d 18%sE35000%.3d": event 350, group 00, zone = level 1..3.
StationLine CommTroubleLine(int receiverNumber, int lineNumber, std::string_view account,
                            int level);

// "5%.2d%d 18%sR35000000": event 350, group 00, zone 000; clears every level.
StationLine CommRestoreLine(int receiverNumber, int lineNumber, std::string_view account);

}  // namespace talvero
