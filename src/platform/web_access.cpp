#include "platform/web_access.hpp"

#include <algorithm>
#include <cctype>

#include "platform/web_token.hpp"

namespace talvero {
namespace {

constexpr std::string_view kTokenParameter = "token";

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

WebAccess::WebAccess(std::string authority, std::string token)
    : authority_(std::move(authority)), token_(std::move(token)) {
  const size_t colon = authority_.rfind(':');
  const std::string port = colon == std::string::npos ? "80" : authority_.substr(colon + 1);
  if (port == "80" && colon != std::string::npos) {
    authorityWithoutPort_ = authority_.substr(0, colon);
  }
  origin_ = "http://" + authority_;
  cookieName_ = "talvero_" + port;
}

bool WebAccess::HostServed(std::string_view host) const {
  return !host.empty() && (SameText(host, authority_) || (!authorityWithoutPort_.empty() &&
                                                          SameText(host, authorityWithoutPort_)));
}

bool WebAccess::OriginServed(std::string_view origin) const {
  constexpr std::string_view kScheme = "http://";
  return origin.size() > kScheme.size() && SameText(origin.substr(0, kScheme.size()), kScheme) &&
         HostServed(origin.substr(kScheme.size()));
}

bool WebAccess::HasCookie(std::string_view cookieHeader) const {
  while (!cookieHeader.empty()) {
    const size_t semicolon = cookieHeader.find(';');
    const std::string_view pair = Trimmed(cookieHeader.substr(0, semicolon));
    cookieHeader = semicolon == std::string_view::npos ? std::string_view{}
                                                       : cookieHeader.substr(semicolon + 1);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == cookieName_ &&
        SameSecret(pair.substr(eq + 1), token_)) {
      return true;
    }
  }
  return false;
}

std::optional<WebReply> WebAccess::Check(const WebRequest& request, const WebTarget& target) const {
  if (!HostServed(request.host)) {
    return WebReply::Text(403, "This address is not served here.");
  }
  if (request.origin && !OriginServed(*request.origin)) {
    return WebReply::Text(403, "Requests from other sites are refused.");
  }
  if (const std::optional<std::string> token = target.Query(kTokenParameter)) {
    if (!SameSecret(*token, token_)) {
      return WebReply::Text(403, "The access token is not valid for this run of Talvero.");
    }
    if (request.upgrade || request.method != "GET") {
      return std::nullopt;
    }
    WebReply redirect = WebReply::Text(303, "Signed in.");
    redirect.SetHeader("Set-Cookie",
                       cookieName_ + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict");
    redirect.SetHeader("Location", TargetWithout(request.target, kTokenParameter));
    return redirect;
  }
  if (HasCookie(request.cookie)) {
    return std::nullopt;
  }
  return WebReply::Text(403,
                        "Open the address with the access token that Talvero printed at start.");
}

}  // namespace talvero
