#include "hosts/version.hpp"

namespace talvero {

std::string VersionText() {
  return std::string("talvero ") + TALVERO_VERSION + "\n";
}

}  // namespace talvero
