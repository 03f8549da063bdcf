#pragma once

#include <filesystem>

namespace talvero::testing {

// A fresh empty folder under the system's temporary folder, removed with all
// its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace talvero::testing
