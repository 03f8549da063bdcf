#pragma once

#include <string>

namespace talvero {

// The release this program was built as, from the build's project version.
std::string VersionText();

}  // namespace talvero
