#pragma once

#include <cstdint>
#include <string_view>

#include "engine/settings.hpp"
#include "engine/station_outlet.hpp"
#include "station/comm_trouble_supervisor.hpp"
#include "station/station_link.hpp"

namespace talvero {

// Frame processing's way to the central station: alarm lines into the link's
// queue, restores through the supervisor.
class StationBridge final : public StationOutlet {
 public:
  StationBridge(StationLink& link, CommTroubleSupervisor& commTrouble, const Settings& settings)
      : link_(link), commTrouble_(commTrouble), settings_(settings) {}

  bool AddAlarmEvent(std::string_view account, std::string_view eventCode, std::string_view group,
                     std::string_view zone) override {
    return link_.AddToSendBuf(AlarmEventLine(settings_.ReceiverNumber, settings_.LineNumber,
                                             account, eventCode, group, zone));
  }
  void Send_CommRestore_ifNeed(uint16_t unit) override {
    commTrouble_.Send_CommRestore_ifNeed(unit);
  }

 private:
  StationLink& link_;
  CommTroubleSupervisor& commTrouble_;
  const Settings& settings_;
};

}  // namespace talvero
