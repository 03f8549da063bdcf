#pragma once

#include <string>

namespace talvero {

// Opens the address in the desktop's browser when a desktop session is
// running (xdg-open); without one, or when that fails, nothing happens.
void OpenInBrowser(const std::string& address);

}  // namespace talvero
