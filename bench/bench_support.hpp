#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "base/logger.hpp"
#include "log/exe_folder.hpp"

namespace talvero::bench {

// Takes every log call and writes nothing, so only the work itself is measured.
class SilentLogger final : public Logger {
 public:
  void LogAllMsg(std::string_view) override {}
  void LogImpMsg(std::string_view) override {}
  void LogErr(std::string_view, std::string_view) override {}
  void LogErrorText(std::string_view) override {}
};

// A fresh folder under the temporary folder, removed with its contents at the end.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "talvero-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A fresh folder made the program's folder, so the logs write below it.
class BenchHome : public BenchFolder {
 public:
  BenchHome() { SetExeFolder(Path().string()); }
};

}  // namespace talvero::bench
