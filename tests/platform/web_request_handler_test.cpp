#include "platform/web_request_handler.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using testing::RecordingLogger;

const std::string kToken(64, 'c');
const std::string kCookie = "talvero_40000=" + kToken;

const WebFile kFiles[] = {
    {"index.html", "text/html; charset=utf-8", "<!DOCTYPE html><title>t</title>"},
    {"app.js", "text/javascript; charset=utf-8", "'use strict';"},
    {"sounds/0.wav", "audio/wav", std::string_view("RIFF\0\0\0\0WAVE", 12)},
};

class WebRequestHandlerTest : public ::testing::Test {
 protected:
  WebHandling Handle(std::string method, std::string target, bool upgrade = false,
                     std::string cookie = kCookie) {
    return handler.Handle({std::move(method), std::move(target), "127.0.0.1:40000", std::nullopt,
                           std::move(cookie), upgrade},
                          log);
  }
  WebReply Get(std::string target) { return Handle("GET", std::move(target)).reply; }

  WebRequestHandler handler{WebAccess("127.0.0.1:40000", kToken), kFiles};
  RecordingLogger log;
};

TEST_F(WebRequestHandlerTest, ServesTheEmbeddedFilesWithTheirTypes) {
  const std::tuple<std::string, std::string, std::string_view> cases[] = {
      {"/", "text/html; charset=utf-8", kFiles[0].body},
      {"/index.html", "text/html; charset=utf-8", kFiles[0].body},
      {"/app.js?v=2", "text/javascript; charset=utf-8", kFiles[1].body},
      {"/sounds/0.wav", "audio/wav", kFiles[2].body},
  };
  for (const auto& [target, type, body] : cases) {
    SCOPED_TRACE(target);
    const WebReply reply = Get(target);
    EXPECT_EQ(reply.status, 200u);
    EXPECT_EQ(reply.Header("Content-Type"), type);
    EXPECT_EQ(reply.body, body);
  }
}

TEST_F(WebRequestHandlerTest, EveryReplyCarriesTheSecurityHeaders) {
  handler.AddGet("/fails", [](const WebTarget&) -> WebReply { throw std::runtime_error("x"); });
  for (const WebReply& reply : {Get("/"), Get("/missing"), Get("/../x"), Get("/fails"),
                                Handle("PUT", "/").reply, Handle("GET", "/", false, "").reply,
                                Handle("GET", "/ws").reply, handler.Refusal(431, "too large")}) {
    SCOPED_TRACE(reply.status);
    const std::string csp(reply.Header("Content-Security-Policy").value_or(""));
    EXPECT_NE(csp.find("default-src 'none'"), std::string::npos);
    EXPECT_NE(csp.find("script-src 'self'"), std::string::npos);
    EXPECT_NE(csp.find("connect-src 'self' ws://127.0.0.1:40000;"), std::string::npos);
    EXPECT_NE(csp.find("frame-ancestors 'none'"), std::string::npos);
    EXPECT_EQ(csp.find("unsafe"), std::string::npos);
    EXPECT_EQ(reply.Header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(reply.Header("Cache-Control"), "no-store");
    EXPECT_EQ(reply.Header("Referrer-Policy"), "no-referrer");
  }
}

TEST_F(WebRequestHandlerTest, RefusesWhatItDoesNotServe) {
  const struct {
    std::string method;
    std::string target;
    bool upgrade;
    std::string cookie;
    unsigned status;
  } cases[] = {
      {"GET", "/missing.html", false, kCookie, 404},
      {"GET", "/sounds/9.wav", false, kCookie, 404},
      {"GET", "/index.html/", false, kCookie, 404},
      {"GET", "/sounds/../index.html", false, kCookie, 400},
      {"GET", "http://127.0.0.1:40000/", false, kCookie, 400},
      {"GET", "/missing.html", false, "", 403},  // unknown paths tell nothing without the cookie
      {"PUT", "/", false, kCookie, 405},
      {"DELETE", "/", false, kCookie, 405},
      {"HEAD", "/", false, kCookie, 405},
      {"OPTIONS", "*", false, kCookie, 405},
      {"get", "/", false, kCookie, 405},
      {"POST", "/", false, kCookie, 405},
      {"POST", "/nothing", false, kCookie, 404},
      {"GET", "/ws", false, kCookie, 426},
      {"GET", "/index.html", true, kCookie, 404},
      {"POST", "/ws", true, kCookie, 426},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method + " " + c.target);
    const WebHandling handling = Handle(c.method, c.target, c.upgrade, c.cookie);
    EXPECT_FALSE(handling.upgrade);
    EXPECT_EQ(handling.reply.status, c.status);
  }
  EXPECT_EQ(Handle("PUT", "/").reply.Header("Allow"), "GET, POST");
}

TEST_F(WebRequestHandlerTest, OnlyAnAllowedUpgradeOfTheChannelPathBecomesTheWebSocket) {
  EXPECT_TRUE(Handle("GET", "/ws", true).upgrade);
  EXPECT_TRUE(Handle("GET", "/ws?token=" + kToken, true, "").upgrade);
  EXPECT_FALSE(Handle("GET", "/ws", true, "").upgrade);
  EXPECT_FALSE(Handle("GET", "/ws?token=" + std::string(64, 'd'), true, "").upgrade);
}

TEST_F(WebRequestHandlerTest, HostEndpointsGetTheQueryAndTheirFailuresAreReported) {
  handler.AddGet("/log.txt", [](const WebTarget& target) {
    return WebReply::Attachment("text/plain; charset=utf-8", target.Query("name").value_or(""),
                                "lines\n");
  });
  handler.AddGet("/fails",
                 [](const WebTarget&) -> WebReply { throw std::runtime_error("file gone"); });

  const WebReply file = Get("/log.txt?name=All%20msg.log");
  EXPECT_EQ(file.status, 200u);
  EXPECT_EQ(file.body, "lines\n");
  EXPECT_EQ(file.Header("Content-Disposition"), "attachment; filename=\"All msg.log\"");

  // A name cannot break out of the header's quotes nor name a folder.
  EXPECT_EQ(Get("/log.txt?name=%22..%2F%0D%0Ax").Header("Content-Disposition"),
            "attachment; filename=\"_..___x\"");

  EXPECT_EQ(Get("/fails").status, 500u);
  EXPECT_EQ(log.ErrNames(), std::vector<std::string>{"WebGet /fails"});
  EXPECT_EQ(Handle("GET", "/log.txt", false, "").reply.status, 403u);
  EXPECT_EQ(Handle("POST", "/log.txt").reply.status, 405u);
}

TEST_F(WebRequestHandlerTest, AnEndpointMayStandInForAFile) {
  handler.AddGet("/index.html", [](const WebTarget&) { return WebReply::Text(200, "live"); });
  EXPECT_EQ(Get("/index.html").body, "live\n");
}

}  // namespace
}  // namespace talvero
