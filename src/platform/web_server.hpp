#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "base/logger.hpp"
#include "platform/web_reply.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// Bounds on what one peer can make the server hold.
struct WebLimits {
  size_t headerBytes = 8 * 1024;
  size_t bodyBytes = 64 * 1024;
  size_t messageBytes = 64 * 1024;  // one WebSocket message from a page
  // What may wait for one page before it counts as not reading and is dropped.
  size_t queuedMessages = 4096;
  size_t queuedBytes = 16 * 1024 * 1024;
  size_t connections = 64;  // HTTP and WebSocket together
  // A request must be complete this long after the connection (or the previous
  // answer) is ready for it, so peers that send nothing cannot hold the places.
  std::chrono::milliseconds requestTimeout{30'000};
};

struct WebServerOptions {
  std::string host = "127.0.0.1";  // an address or a name of this machine; "[::1]" for IPv6
  uint16_t port = 33666;           // 0: any free port (tests)
  WebLimits limits;
};

// A page connected over the WebSocket: one browser tab, from open to close.
using WebSessionId = std::uint64_t;

// What the host hears of the pages. All run on the event thread; none is
// called once Stop has begun.
struct WebChannelHandlers {
  std::function<void(WebSessionId)> opened;
  // A JSON object with a string "type". An exception thrown here is reported
  // with LogErr under "WebChannel" and answered to the page as an error message.
  std::function<void(WebSessionId, const nlohmann::json&)> message;
  std::function<void(WebSessionId)> closed;
};

// The web UI's server: HTTP for the embedded files and the host's data
// endpoints, and the WebSocket channel "/ws" to every open page, on the host's
// io_context. Requests pass WebAccess first. Each page has one write in flight
// and a bounded queue behind it; a page that falls too far behind is dropped.
//
// Every member is called on the event thread.
class WebServer {
 public:
  // Binds HOST:PORT with a fresh access token; throws std::runtime_error when
  // the address cannot be resolved or had, or is a wildcard (the Host check
  // needs the one address the pages use).
  WebServer(boost::asio::io_context& io, const WebServerOptions& options, Logger& log);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  void SetChannelHandlers(WebChannelHandlers handlers);
  // Serves GET on path (for example "/log/all.txt"), see WebGetHandler.
  void AddGetHandler(std::string path, WebGetHandler handler);

  void Start();
  // Closes the listener and every connection; pages hear "going away" after
  // the messages already queued for them. The loop returns once all are gone.
  void Stop();

  // The page's full address with the access token: what the host prints.
  std::string PageAddress() const;
  // The address browsers use, "127.0.0.1:33666".
  std::string Authority() const;
  const std::string& AccessToken() const;
  uint16_t LocalPort() const;

  // Queues a message for one page; false when that page is gone.
  bool Send(WebSessionId session, const nlohmann::json& message);
  void Broadcast(const nlohmann::json& message);
  size_t SessionCount() const;

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace talvero
