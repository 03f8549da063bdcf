#include "platform/web_target.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

TEST(WebTarget, SplitsAndDecodesOriginFormTargets) {
  struct Case {
    std::string_view target;
    std::string_view path;
    std::vector<std::pair<std::string, std::string>> query;
  };
  const Case cases[] = {
      {"/", "/", {}},
      {"/index.html", "/index.html", {}},
      {"/sounds/3.wav", "/sounds/3.wav", {}},
      {"/a%20b", "/a b", {}},
      {"/?token=abc", "/", {{"token", "abc"}}},
      {"/log?day=2026-12-11&x=a+b%26c", "/log", {{"day", "2026-12-11"}, {"x", "a b&c"}}},
      {"/?flag&&=v", "/", {{"flag", ""}, {"", "v"}}},
      {"/..foo/x..", "/..foo/x..", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::optional<WebTarget> parsed = ParseWebTarget(c.target);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->path, c.path);
    EXPECT_EQ(parsed->query, c.query);
  }
}

TEST(WebTarget, RefusesTargetsThatAreNotPlainPaths) {
  for (const std::string_view target : {
           "",          "index.html",     "http://127.0.0.1:33666/",
           "*",         "/../etc/passwd", "/sounds/../../x",
           "/%2e%2e/x", "/./index.html",  "/a/..",
           "/a\\b",     "/a%5cb",         "/a%00b",
           "/a%",       "/a%4",           "/a%zz",
           "/?token=%", "/?x=%00",        "//evil.example/?token=abc",
           "//",        "/a b",           "/?x=a\r\nSet-Cookie:%20x",
           "/\t",       "/\x7f",
       }) {
    EXPECT_FALSE(ParseWebTarget(target)) << target;
  }
}

TEST(WebTarget, FirstParameterOfANameCounts) {
  const std::optional<WebTarget> parsed = ParseWebTarget("/?a=1&token=t1&token=t2");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->Query("token"), "t1");
  EXPECT_EQ(parsed->Query("missing"), std::nullopt);
}

TEST(WebTarget, TargetWithoutDropsEveryParameterOfTheNameAndKeepsTheRestAsWritten) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/", "/"},
      {"/?token=abc", "/"},
      {"/x?token=abc&a=1", "/x?a=1"},
      {"/x?a=%41&token=abc&b=2", "/x?a=%41&b=2"},
      {"/x?to%6Ben=abc&tokens=1", "/x?tokens=1"},
      {"/x?token&token=2&&a", "/x?a"},
  };
  for (const auto& [target, expected] : cases) {
    EXPECT_EQ(TargetWithout(target, "token"), expected) << target;
  }
}

}  // namespace
}  // namespace talvero
