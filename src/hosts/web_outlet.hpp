#pragma once

#include <nlohmann/json.hpp>

#include "hosts/monitor_hub.hpp"
#include "platform/web_server.hpp"

namespace talvero {

// The pages of the web server, as the hubs send to them.
class WebOutlet final : public PageOutlet {
 public:
  explicit WebOutlet(WebServer& web) : web_(web) {}
  void Send(PageId page, const nlohmann::json& message) override { web_.Send(page, message); }
  void Broadcast(const nlohmann::json& message) override { web_.Broadcast(message); }

 private:
  WebServer& web_;
};

}  // namespace talvero
