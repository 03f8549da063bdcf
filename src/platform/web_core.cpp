#include "platform/web_core.hpp"

#include <exception>
#include <vector>

#include "base/guard.hpp"
#include "platform/web_channel_message.hpp"

namespace talvero {

WebCore::WebCore(WebRequestHandler requests, Logger& log, WebLimits limits)
    : requests_(std::move(requests)), log_(log), limits_(limits) {}

bool WebCore::Admit(const std::shared_ptr<WebConnection>& connection) {
  if (stopping_ || connections_.size() >= limits_.connections) {
    return false;
  }
  connections_.emplace(connection.get(), connection);
  return true;
}

void WebCore::Forget(WebConnection* connection) {
  connections_.erase(connection);
}

WebSessionId WebCore::OpenSession(const std::shared_ptr<WebChannelSession>& session) {
  const WebSessionId id = nextId_++;
  sessions_.emplace(id, session);
  if (!stopping_ && handlers_.opened) {
    Guarded(log_, "WebChannel", [&] { handlers_.opened(id); });
  }
  return id;
}

void WebCore::Receive(WebSessionId id, std::string_view text, bool isText) {
  if (stopping_) {
    return;
  }
  if (!isText) {
    Send(id, ChannelError("binary messages are not taken", nlohmann::json()));
    return;
  }
  const ChannelMessage read = ReadChannelMessage(text);
  if (!read.Ok()) {
    Send(id, ChannelError(read.error, nlohmann::json()));
    return;
  }
  if (!handlers_.message) {
    return;
  }
  try {
    handlers_.message(id, read.message);
  } catch (const std::exception& e) {
    ReportFailure(log_, "WebChannel", e.what());
    Send(id, ChannelError(e.what(), read.message));
  } catch (...) {
    ReportFailure(log_, "WebChannel", "unknown failure");
    Send(id, ChannelError("unknown failure", read.message));
  }
}

void WebCore::SessionClosed(WebSessionId id) {
  if (sessions_.erase(id) == 0 || stopping_ || !handlers_.closed) {
    return;
  }
  Guarded(log_, "WebChannel", [&] { handlers_.closed(id); });
}

bool WebCore::Send(WebSessionId id, const nlohmann::json& message) {
  return SendText(id, std::make_shared<const std::string>(ChannelText(message)));
}

void WebCore::Broadcast(const nlohmann::json& message) {
  const auto text = std::make_shared<const std::string>(ChannelText(message));
  std::vector<WebSessionId> ids;
  ids.reserve(sessions_.size());
  for (const auto& [id, session] : sessions_) {
    ids.push_back(id);
  }
  for (const WebSessionId id : ids) {
    SendText(id, text);
  }
}

bool WebCore::SendText(WebSessionId id, std::shared_ptr<const std::string> text) {
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) {
    return false;
  }
  const std::shared_ptr<WebChannelSession> session = found->second.lock();
  return session && session->Send(std::move(text));
}

void WebCore::Stop() {
  if (stopping_) {
    return;
  }
  // The handlers stay: Stop may be called from inside one of them.
  stopping_ = true;
  std::vector<std::shared_ptr<WebConnection>> open;
  for (const auto& [raw, weak] : connections_) {
    if (auto connection = weak.lock()) {
      open.push_back(std::move(connection));
    }
  }
  for (const auto& connection : open) {
    connection->Close();
  }
}

}  // namespace talvero
