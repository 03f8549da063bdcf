// What a hostile page or client can send to the web UI: an HTTP request
// (method, target, Host, Origin, cookies, upgrade) through the access checks
// and the request handler, and a message on the WebSocket channel.
//
// The input is lines: flags ("U" asks for the upgrade, "O" sends the Origin
// line), method, target, Host, Origin, Cookie; whatever follows the sixth line
// is one channel message. "$TOKEN" in the target or the cookie stands for the
// run's access token, so the fuzzer also reaches what lies behind the checks.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "platform/web_channel_message.hpp"
#include "platform/web_request_handler.hpp"

namespace talvero {
namespace {

constexpr std::string_view kAuthority = "127.0.0.1:33666";
constexpr std::string_view kToken =
    "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

constexpr std::array<WebFile, 3> kFiles{{
    {"index.html", "text/html; charset=utf-8", "<!doctype html>"},
    {"app.js", "text/javascript", "''"},
    {"sounds/0.wav", "audio/wav", "RIFF"},
}};

std::string WithToken(std::string_view text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    if (text.substr(at).starts_with("$TOKEN")) {
      out += kToken;
      at += 6;
    } else {
      out += text[at++];
    }
  }
  return out;
}

bool HasControl(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return true;
    }
  }
  return false;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

const WebRequestHandler& Handler() {
  static const WebRequestHandler handler = [] {
    WebRequestHandler h(WebAccess(std::string(kAuthority), std::string(kToken)), kFiles);
    h.AddGet("/log/all.txt", [](const WebTarget& target) {
      return WebReply::Content("text/plain", target.Query("from").value_or(""));
    });
    h.AddGet("/fails", [](const WebTarget&) -> WebReply {
      throw std::runtime_error("the host cannot answer");
    });
    return h;
  }();
  return handler;
}

void CheckRequest(const WebRequest& request) {
  testing::RecordingLogger log;
  const WebHandling handling = Handler().Handle(request, log);
  const WebReply& reply = handling.reply;
  for (const std::string_view header : {"Content-Security-Policy", "X-Content-Type-Options",
                                        "X-Frame-Options", "Referrer-Policy", "Cache-Control"}) {
    if (!reply.Header(header)) {
      fuzzing::Finding("a reply without its security headers");
    }
  }
  for (const auto& [name, value] : reply.headers) {
    if (HasControl(name) || HasControl(value)) {
      fuzzing::Finding("a control character in a reply header");
    }
  }
  const bool served = reply.status == 200 || reply.status == 101 || reply.status == 500;
  if (served) {
    const std::string origin = "http://" + std::string(kAuthority);
    const bool hostOk = SameTextIgnoringCase(request.host, kAuthority);
    const bool originOk = !request.origin || SameTextIgnoringCase(*request.origin, origin);
    const std::optional<WebTarget> target = ParseWebTarget(request.target);
    const bool secret = request.cookie.find(std::string(kToken)) != std::string::npos ||
                        (target && target->Query("token") == std::string(kToken));
    if (!hostOk || !originOk || !secret) {
      fuzzing::Finding("served without the host, origin and token checks passed");
    }
  }
  if (handling.upgrade != (reply.status == 101)) {
    fuzzing::Finding("an upgrade without its 101, or a 101 without the upgrade");
  }
  if (handling.upgrade && (!request.upgrade || request.method != "GET")) {
    fuzzing::Finding("an upgrade that was not asked for with GET");
  }
  if (const auto location = reply.Header("Location")) {
    // Sent back to the browser: it must lead to this server, and never
    // carry the token parameter on into the address bar or a referrer.
    const std::optional<WebTarget> next = ParseWebTarget(*location);
    if (!location->starts_with("/") || location->starts_with("//") ||
        (next && next->Query("token"))) {
      fuzzing::Finding("a redirect that leaves this server or shows the token");
    }
  }
  fuzzing::RequireNoErr(log, {"WebGet /fails"});
}

void CheckChannelMessage(std::string_view text) {
  const ChannelMessage read = ReadChannelMessage(text);
  if (read.Ok()) {
    const auto type = read.message.find("type");
    if (!read.message.is_object() || type == read.message.end() || !type->is_string() ||
        type->get_ref<const std::string&>().empty()) {
      fuzzing::Finding("a channel message taken without its type");
    }
  } else if (read.error.empty() || !read.message.is_null()) {
    fuzzing::Finding("a refused channel message without its reason");
  }
  // What goes back is always JSON a page can read, whatever the message held.
  const nlohmann::json answer = ChannelError(read.Ok() ? "refused" : read.error, read.message);
  for (const nlohmann::json& message : {answer, nlohmann::json{{"type", "line"}, {"text", text}}}) {
    const std::string sent = ChannelText(message);
    if (nlohmann::json::parse(sent, nullptr, false).is_discarded()) {
      fuzzing::Finding("a channel text that is not JSON");
    }
  }
}

}  // namespace
}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  std::string_view input = fuzzing::Bytes(data, size);
  std::vector<std::string_view> lines;
  while (lines.size() < 6) {
    const size_t end = input.find('\n');
    lines.push_back(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
  }
  WebRequest request;
  request.upgrade = lines[0].find('U') != std::string_view::npos;
  request.method = std::string(lines[1]);
  request.target = WithToken(lines[2]);
  request.host = std::string(lines[3]);
  if (lines[0].find('O') != std::string_view::npos) {
    request.origin = std::string(lines[4]);
  }
  request.cookie = WithToken(lines[5]);
  CheckRequest(request);
  CheckChannelMessage(input);
  return 0;
}
