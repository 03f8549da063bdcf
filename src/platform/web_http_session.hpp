#pragma once

#include <memory>

#include "platform/asio.hpp"
#include "platform/web_core.hpp"

namespace talvero {

// Serves HTTP on an accepted socket until the peer is done, fails, idles too
// long or upgrades to the WebSocket. Refused quietly when the core is at its
// connection limit.
void StartHttpSession(boost::asio::ip::tcp::socket socket, const std::shared_ptr<WebCore>& core);

}  // namespace talvero
