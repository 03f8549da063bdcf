#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/web_target.hpp"

namespace talvero {

// What the web server needs to know of one HTTP request, apart from its transport.
struct WebRequest {
  std::string method;  // as sent: "GET", "POST", ...
  std::string target;  // as sent: "/index.html?token=..."
  std::string host;    // the Host header; empty when missing or sent twice
  std::optional<std::string> origin;
  std::string cookie;    // every Cookie header, joined with "; "
  bool upgrade = false;  // asks to become a WebSocket
};

// One HTTP answer, apart from its transport.
struct WebReply {
  unsigned status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // A short plain text, for refusals and errors.
  static WebReply Text(unsigned status, std::string_view text);
  static WebReply Content(std::string_view contentType, std::string body);
  // A file the browser saves under fileName instead of showing it.
  static WebReply Attachment(std::string_view contentType, std::string_view fileName,
                             std::string body);

  // The value of the first header of that name (letter case ignored).
  std::optional<std::string_view> Header(std::string_view name) const;
  void SetHeader(std::string name, std::string value);
};

// A data endpoint of the host: answers GET on one path. The target carries the
// query parameters. An exception becomes a 500 answer and an "Errors" report.
using WebGetHandler = std::function<WebReply(const WebTarget& target)>;

}  // namespace talvero
