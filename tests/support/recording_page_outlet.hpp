#pragma once

#include <nlohmann/json.hpp>

#include <string_view>
#include <utility>
#include <vector>

#include "hosts/monitor_hub.hpp"

namespace talvero::testing {

// Records what the monitor or the console sends to its pages.
class RecordingOutlet final : public PageOutlet {
 public:
  void Send(PageId page, const nlohmann::json& message) override {
    sent.push_back({page, message});
  }
  void Broadcast(const nlohmann::json& message) override { sent.push_back({0, message}); }

  // The messages of one event, in order; page 0 are the broadcasts.
  std::vector<nlohmann::json> Events(std::string_view ev, PageId page) const {
    std::vector<nlohmann::json> found;
    for (const auto& [to, message] : sent) {
      if ((to == page || to == 0) && message["type"] == ev) {
        found.push_back(message);
      }
    }
    return found;
  }
  nlohmann::json Last(std::string_view ev, PageId page = 1) const {
    const std::vector<nlohmann::json> found = Events(ev, page);
    return found.empty() ? nlohmann::json() : found.back();
  }

  std::vector<std::pair<PageId, nlohmann::json>> sent;
};

}  // namespace talvero::testing
