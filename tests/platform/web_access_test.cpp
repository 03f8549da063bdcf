#include "platform/web_access.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

const std::string kToken(64, 'a');
const std::string kCookie = "talvero_33666=" + kToken;

struct Case {
  std::string_view name;
  WebRequest request;
  unsigned status;  // 0: granted
};

WebRequest Request(std::string target, std::string host = "127.0.0.1:33666",
                   std::optional<std::string> origin = std::nullopt, std::string cookie = "",
                   bool upgrade = false, std::string method = "GET") {
  return {std::move(method), std::move(target), std::move(host),
          std::move(origin), std::move(cookie), upgrade};
}

std::optional<WebReply> Check(const WebAccess& access, const WebRequest& request) {
  const std::optional<WebTarget> target = ParseWebTarget(request.target);
  EXPECT_TRUE(target) << request.target;
  return access.Check(request, *target);
}

TEST(WebAccess, GrantsOnlyTheServedHostAndOriginWithTheCookieOrToken) {
  const WebAccess access("127.0.0.1:33666", kToken);
  const std::string origin = "http://127.0.0.1:33666";
  const Case cases[] = {
      {"cookie", Request("/", "127.0.0.1:33666", std::nullopt, kCookie), 0},
      {"cookie among others",
       Request("/", "127.0.0.1:33666", std::nullopt, "a=1; " + kCookie + "; b=2"), 0},
      {"cookie and own origin", Request("/", "127.0.0.1:33666", origin, kCookie), 0},
      {"origin letter case", Request("/", "127.0.0.1:33666", "HTTP://127.0.0.1:33666", kCookie), 0},
      {"upgrade with cookie", Request("/ws", "127.0.0.1:33666", origin, kCookie, true), 0},
      {"upgrade with token", Request("/ws?token=" + kToken, "127.0.0.1:33666", origin, "", true),
       0},
      {"post with cookie", Request("/x", "127.0.0.1:33666", origin, kCookie, false, "POST"), 0},
      {"nothing", Request("/"), 403},
      {"wrong cookie",
       Request("/", "127.0.0.1:33666", std::nullopt, "talvero_33666=" + std::string(64, 'b')), 403},
      {"cookie of another port",
       Request("/", "127.0.0.1:33666", std::nullopt, "talvero_33667=" + kToken), 403},
      {"cookie value prefix",
       Request("/", "127.0.0.1:33666", std::nullopt, "talvero_33666=" + kToken.substr(1)), 403},
      {"wrong token", Request("/?token=" + std::string(64, 'b')), 403},
      {"wrong token beside good cookie",
       Request("/?token=x", "127.0.0.1:33666", std::nullopt, kCookie), 403},
      {"upgrade without cookie", Request("/ws", "127.0.0.1:33666", origin, "", true), 403},
      {"rebound name", Request("/", "evil.example:33666", std::nullopt, kCookie), 403},
      {"rebound name with token", Request("/?token=" + kToken, "evil.example:33666"), 403},
      {"other port in host", Request("/", "127.0.0.1:80", std::nullopt, kCookie), 403},
      {"host without port", Request("/", "127.0.0.1", std::nullopt, kCookie), 403},
      {"no host", Request("/", "", std::nullopt, kCookie), 403},
      {"foreign origin", Request("/", "127.0.0.1:33666", "http://evil.example", kCookie), 403},
      {"other port as origin",
       Request("/ws", "127.0.0.1:33666", "http://127.0.0.1:8080", kCookie, true), 403},
      {"https origin", Request("/", "127.0.0.1:33666", "https://127.0.0.1:33666", kCookie), 403},
      {"null origin", Request("/", "127.0.0.1:33666", "null", kCookie), 403},
      {"empty origin", Request("/", "127.0.0.1:33666", "", kCookie), 403},
      {"origin with path", Request("/", "127.0.0.1:33666", origin + "/", kCookie), 403},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<WebReply> refused = Check(access, c.request);
    EXPECT_EQ(refused ? refused->status : 0u, c.status);
  }
}

TEST(WebAccess, TheTokenOfAPageRequestBecomesTheCookieAndARedirectToTheCleanAddress) {
  const WebAccess access("127.0.0.1:33666", kToken);
  const std::optional<WebReply> reply =
      Check(access, Request("/view?a=1&token=" + kToken + "&b=2"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 303u);
  EXPECT_EQ(reply->Header("Location"), "/view?a=1&b=2");
  EXPECT_EQ(reply->Header("Set-Cookie"), kCookie + "; Path=/; HttpOnly; SameSite=Strict");

  // The redirected request carries the cookie and is served.
  EXPECT_FALSE(Check(access, Request("/view?a=1&b=2", "127.0.0.1:33666", std::nullopt, kCookie)));
}

TEST(WebAccess, PortEightyMayBeLeftOutOfHostAndOrigin) {
  const WebAccess access("ui.example:80", kToken);
  EXPECT_EQ(access.CookieName(), "talvero_80");
  const std::string cookie = "talvero_80=" + kToken;
  EXPECT_FALSE(Check(access, Request("/", "ui.example", "http://ui.example", cookie)));
  EXPECT_FALSE(Check(access, Request("/", "UI.example:80", "http://ui.example:80", cookie)));
  EXPECT_TRUE(Check(access, Request("/", "ui.example:8080", std::nullopt, cookie)));
}

}  // namespace
}  // namespace talvero
