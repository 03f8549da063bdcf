#pragma once

#include <memory>

#include "platform/beast.hpp"
#include "platform/web_core.hpp"

namespace talvero {

// Takes over a connection whose upgrade request passed the checks: completes
// the WebSocket handshake and becomes the page's session.
void StartWebSocketSession(boost::beast::tcp_stream stream,
                           boost::beast::http::request<boost::beast::http::string_body> request,
                           const std::shared_ptr<WebCore>& core);

}  // namespace talvero
