#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>

#include "base/logger.hpp"
#include "platform/web_access.hpp"
#include "platform/web_files.hpp"
#include "platform/web_reply.hpp"

namespace talvero {

// The answer to one request: a reply, or the go-ahead to become the WebSocket.
struct WebHandling {
  WebReply reply;
  bool upgrade = false;
};

// Decides what each request gets, apart from any socket: the access checks,
// then the WebSocket, the host's data endpoints and the embedded files. Every
// reply carries the same strict security headers; the page may load nothing
// from anywhere but this server and may connect only back to it.
class WebRequestHandler {
 public:
  static constexpr std::string_view kChannelPath = "/ws";

  WebRequestHandler(WebAccess access, std::span<const WebFile> files);

  const WebAccess& Access() const { return access_; }
  // Serves GET on path (for example "/log/all.txt") from the host; a later
  // handler for the same path replaces the earlier one.
  void AddGet(std::string path, WebGetHandler handler);

  WebHandling Handle(const WebRequest& request, Logger& log) const;
  // A refusal with the security headers, for requests that never parsed.
  WebReply Refusal(unsigned status, std::string_view text) const;

 private:
  WebReply Answer(const WebRequest& request, Logger& log, bool& upgrade) const;
  WebReply Secured(WebReply reply) const;

  WebAccess access_;
  std::map<std::string, WebFile, std::less<>> files_;
  std::map<std::string, WebGetHandler, std::less<>> getHandlers_;
  std::string contentSecurityPolicy_;
};

}  // namespace talvero
