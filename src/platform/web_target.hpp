#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvero {

// The request target of an HTTP request, taken apart.
struct WebTarget {
  std::string path;  // decoded; begins with '/'
  // Decoded name and value of each query parameter, in order.
  std::vector<std::pair<std::string, std::string>> query;

  // The value of the first parameter of that name, if any.
  std::optional<std::string> Query(std::string_view name) const;
};

// Splits an origin-form target ("/path?a=1&b=2") and decodes its escapes.
// Refuses anything else: an absolute URL, a bad or NUL escape, a backslash or a
// "." or ".." segment (no path may climb out of the served tree), a blank or a
// control character, and a path that begins with "//" (another host's address
// to a browser).
std::optional<WebTarget> ParseWebTarget(std::string_view target);

// The target with every query parameter of that name removed, the rest kept as
// written; "?" goes too when nothing is left behind it.
std::string TargetWithout(std::string_view target, std::string_view name);

}  // namespace talvero
