#pragma once

#include <string>
#include <string_view>

namespace talvero {

// A fresh secret for one run of the web UI: 32 random bytes from the kernel,
// as 64 lower-case hexadecimal digits. Throws std::runtime_error when the
// kernel gives no random bytes (the UI is then not served at all).
std::string NewAccessToken();

// Compares two secrets in a time that does not depend on where they differ.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace talvero
