#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "log/exe_folder.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero::testing {

// A fresh home folder for one test, made the program's folder; removed at the end.
class TempHome {
 public:
  TempHome() { SetExeFolder(dir_.path().string()); }

  std::filesystem::path operator/(const std::string& relative) const {
    return dir_.path() / relative;
  }

 private:
  TempDir dir_;
};

// Puts a regular file where a folder should be, so every write below it fails.
inline void BlockFolder(const std::filesystem::path& folder) {
  std::filesystem::remove_all(folder);
  std::ofstream(folder) << "not a folder";
}

}  // namespace talvero::testing
