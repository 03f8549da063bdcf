#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "log/exe_folder.hpp"

namespace talvero::testing {

// A fresh home folder for one test, made the program's folder; removed at the end.
class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvero-log-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
    SetExeFolder(path_.string());
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

// The bytes of a file; empty when it does not exist.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Puts a regular file where a folder should be, so every write below it fails.
inline void BlockFolder(const std::filesystem::path& folder) {
  std::filesystem::remove_all(folder);
  std::ofstream(folder) << "not a folder";
}

}  // namespace talvero::testing
