#include "base/trim.hpp"

#include <gtest/gtest.h>

#include <string>

namespace talvero {
namespace {

TEST(TrimText, TakesBlanksAndControlCharactersFromBothEndsOnly) {
  const struct {
    std::string text;
    std::string trimmed;
  } cases[] = {
      {"  12\t\r\n", "12"},
      {std::string("\0\x01 12\x7f", 6), "12"},
      {"a b", "a b"},
      {" \t\r\n", ""},
      {"", ""},
      {"\xC3\xA9 ", "\xC3\xA9"},  // bytes above 0x7F are text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimText(c.text), c.trimmed) << c.text;
  }
}

}  // namespace
}  // namespace talvero
