#pragma once

#include <cstdint>
#include <string_view>

namespace talvero {

// The central station as frame processing sees it: the two things a received
// frame can tell the monitoring software.
class StationOutlet {
 public:
  virtual ~StationOutlet() = default;
  // An alarm event of a unit, for the station's queue. eventCode carries its
  // qualifier ("E130", "R401"). Gives whether the line is kept durably, so
  // that the frame may be acknowledged; it is queued either way.
  virtual bool AddAlarmEvent(std::string_view account, std::string_view eventCode,
                             std::string_view group, std::string_view zone) = 0;
  // The unit was heard: its restore line when it was in communication trouble.
  virtual void Send_CommRestore_ifNeed(uint16_t unit) = 0;
};

}  // namespace talvero
