#include "platform/web_token.hpp"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace talvero {

std::string NewAccessToken() {
  std::array<unsigned char, 32> bytes{};
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::runtime_error(std::string("no random bytes for the access token: ") +
                               std::strerror(errno));
    }
    filled += static_cast<size_t>(got);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  token.reserve(bytes.size() * 2);
  for (const unsigned char byte : bytes) {
    token.push_back(kDigits[byte >> 4]);
    token.push_back(kDigits[byte & 0x0F]);
  }
  return token;
}

bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

}  // namespace talvero
