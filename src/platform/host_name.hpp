#pragma once

#include <string>
#include <string_view>

namespace talvero {

// "[::1]" as the resolver takes it, "::1"; any other host as it stands.
inline std::string ResolverHost(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  return std::string(host);
}

}  // namespace talvero
