#include "platform/web_request_handler.hpp"

#include "base/guard.hpp"

namespace talvero {

WebRequestHandler::WebRequestHandler(WebAccess access, std::span<const WebFile> files)
    : access_(std::move(access)) {
  for (const WebFile& file : files) {
    // Appended rather than "/" + path: g++ 12 at -O3 warns of an overlap there
    // that cannot happen.
    std::string served(1, '/');
    served += file.path;
    files_.emplace(std::move(served), file);
  }
  // 'self' stands for ws: of the same address only in newer browsers; the
  // channel's address is named as well.
  contentSecurityPolicy_ =
      "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
      "media-src 'self'; font-src 'self'; connect-src 'self' ws://" +
      access_.Authority() + "; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";
}

void WebRequestHandler::AddGet(std::string path, WebGetHandler handler) {
  getHandlers_.insert_or_assign(std::move(path), std::move(handler));
}

WebHandling WebRequestHandler::Handle(const WebRequest& request, Logger& log) const {
  WebHandling handling;
  handling.reply = Secured(Answer(request, log, handling.upgrade));
  return handling;
}

WebReply WebRequestHandler::Refusal(unsigned status, std::string_view text) const {
  return Secured(WebReply::Text(status, text));
}

WebReply WebRequestHandler::Answer(const WebRequest& request, Logger& log, bool& upgrade) const {
  const bool get = request.method == "GET";
  if (!get && request.method != "POST") {
    WebReply refused = WebReply::Text(405, "Only GET and POST are served.");
    refused.SetHeader("Allow", "GET, POST");
    return refused;
  }
  const std::optional<WebTarget> target = ParseWebTarget(request.target);
  if (!target) {
    return WebReply::Text(400, "The request target is not valid.");
  }
  if (std::optional<WebReply> refused = access_.Check(request, *target)) {
    return std::move(*refused);
  }
  if (target->path == kChannelPath) {
    if (get && request.upgrade) {
      upgrade = true;
      return WebReply::Text(101, "Switching to the WebSocket.");
    }
    WebReply refused = WebReply::Text(426, "This address takes WebSocket connections only.");
    refused.SetHeader("Upgrade", "websocket");
    return refused;
  }
  if (request.upgrade) {
    return WebReply::Text(404, "No WebSocket at this address.");
  }
  const auto handler = getHandlers_.find(target->path);
  const std::string_view filePath =
      target->path == "/" ? std::string_view("/index.html") : std::string_view(target->path);
  const auto file = files_.find(filePath);
  if (handler == getHandlers_.end() && file == files_.end()) {
    return WebReply::Text(404, "Not found.");
  }
  if (!get) {
    // Nothing here takes a POST yet; the host's endpoints and the files are GET only.
    WebReply refused = WebReply::Text(405, "Only GET is served at this address.");
    refused.SetHeader("Allow", "GET");
    return refused;
  }
  if (handler != getHandlers_.end()) {
    WebReply reply = WebReply::Text(500, "The server failed to answer.");
    Guarded(log, "WebGet " + target->path, [&] { reply = handler->second(*target); });
    return reply;
  }
  return WebReply::Content(file->second.contentType, std::string(file->second.body));
}

WebReply WebRequestHandler::Secured(WebReply reply) const {
  reply.SetHeader("Content-Security-Policy", contentSecurityPolicy_);
  reply.SetHeader("X-Content-Type-Options", "nosniff");
  reply.SetHeader("X-Frame-Options", "DENY");
  reply.SetHeader("Referrer-Policy", "no-referrer");
  reply.SetHeader("Cache-Control", "no-store");
  return reply;
}

}  // namespace talvero
