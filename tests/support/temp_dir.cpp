#include "support/temp_dir.hpp"

#include <stdlib.h>

#include <stdexcept>
#include <string>

namespace talvero::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "talvero-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace talvero::testing
