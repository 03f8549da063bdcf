#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/logger.hpp"
#include "platform/web_request_handler.hpp"
#include "platform/web_server.hpp"

namespace talvero {

// An open connection, as the core sees it.
class WebConnection {
 public:
  virtual ~WebConnection() = default;
  // Ends the connection by cancelling its I/O; its handlers then find it closed.
  virtual void Close() = 0;
};

// A page's WebSocket, as the core sees it.
class WebChannelSession : public WebConnection {
 public:
  // Queues one text message; false when the session is closed, or its queue
  // was full and the session is being dropped for it.
  virtual bool Send(std::shared_ptr<const std::string> text) = 0;
};

// What the HTTP and WebSocket sessions share, free of Asio and Beast: the
// request handling, the open connections, and the channel between the pages
// and the host's handlers. Runs on the event thread.
class WebCore {
 public:
  WebCore(WebRequestHandler requests, Logger& log, WebLimits limits);

  WebRequestHandler& Requests() { return requests_; }
  Logger& Log() { return log_; }
  const WebLimits& Limits() const { return limits_; }
  void SetHandlers(WebChannelHandlers handlers) { handlers_ = std::move(handlers); }

  bool Stopping() const { return stopping_; }
  // Counts a new connection in; false when the server is at its limit or stopping.
  bool Admit(const std::shared_ptr<WebConnection>& connection);
  void Forget(WebConnection* connection);

  // A page completed its WebSocket handshake: numbered and announced to the host.
  WebSessionId OpenSession(const std::shared_ptr<WebChannelSession>& session);
  // One message of a page: checked, then handed to the host; whatever is wrong
  // with it goes back to the page as an error message.
  void Receive(WebSessionId id, std::string_view text, bool isText);
  void SessionClosed(WebSessionId id);

  bool Send(WebSessionId id, const nlohmann::json& message);
  void Broadcast(const nlohmann::json& message);
  size_t SessionCount() const { return sessions_.size(); }

  // No handler is called after this; every connection is closed.
  void Stop();

 private:
  bool SendText(WebSessionId id, std::shared_ptr<const std::string> text);

  WebRequestHandler requests_;
  Logger& log_;
  const WebLimits limits_;
  WebChannelHandlers handlers_;
  std::unordered_map<WebConnection*, std::weak_ptr<WebConnection>> connections_;
  std::map<WebSessionId, std::weak_ptr<WebChannelSession>> sessions_;
  WebSessionId nextId_ = 1;
  bool stopping_ = false;
};

}  // namespace talvero
