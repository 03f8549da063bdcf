#include "platform/web_token.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

TEST(WebToken, IsSixtyFourHexDigitsAndNewAtEveryCall) {
  const std::string first = NewAccessToken();
  const std::string second = NewAccessToken();
  EXPECT_EQ(first.size(), 64u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, second);
}

TEST(WebToken, SameSecretComparesWholeTexts) {
  EXPECT_TRUE(SameSecret("abc", "abc"));
  EXPECT_TRUE(SameSecret("", ""));
  EXPECT_FALSE(SameSecret("abc", "abd"));
  EXPECT_FALSE(SameSecret("abc", "ab"));
  EXPECT_FALSE(SameSecret("ab", "abc"));
  EXPECT_FALSE(SameSecret("", "a"));
}

}  // namespace
}  // namespace talvero
