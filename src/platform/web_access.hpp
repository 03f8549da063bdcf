#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/web_reply.hpp"
#include "platform/web_target.hpp"

namespace talvero {

// Who may use the web UI. Only a page this process served can hold the token:
// it is printed with the page address at start, and the first request that
// brings it in its query gets it back as an HttpOnly, SameSite=Strict cookie
// and a redirect to the same address without it. Every later request, the
// WebSocket upgrade among them, shows the cookie (or the token again).
//
// The Host header must name the address served, so a foreign DNS name rebound
// to it finds nothing; an Origin, when sent, must be this origin, so no other
// site's page can post to it or open its WebSocket with the operator's cookie.
class WebAccess {
 public:
  // authority: the served address as browsers write it, "127.0.0.1:33666".
  WebAccess(std::string authority, std::string token);

  const std::string& Authority() const { return authority_; }
  const std::string& Origin() const { return origin_; }
  const std::string& Token() const { return token_; }
  // Names the cookie after the port: cookies are kept per host, not per port,
  // so two UIs on one machine must not overwrite each other's.
  const std::string& CookieName() const { return cookieName_; }

  // Empty when the request may go on; otherwise the answer it gets instead: a
  // refusal, or the redirect that trades the token for the cookie.
  std::optional<WebReply> Check(const WebRequest& request, const WebTarget& target) const;

 private:
  bool HostServed(std::string_view host) const;
  bool OriginServed(std::string_view origin) const;
  bool HasCookie(std::string_view cookieHeader) const;

  std::string authority_;
  std::string authorityWithoutPort_;  // when the port is 80, browsers leave it out
  std::string origin_;
  std::string token_;
  std::string cookieName_;
};

}  // namespace talvero
