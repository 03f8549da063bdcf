#include "log/exe_folder.hpp"

#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

namespace talvero {
namespace {

std::mutex folderLock;
std::optional<std::string> folder;

std::string WithSeparator(const std::filesystem::path& path) {
  std::string text = path.string();
  if (text.empty() || text.back() != '/') {
    text += '/';
  }
  return text;
}

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.has_parent_path()) {
    return exe.parent_path();
  }
  return std::filesystem::current_path();
}

}  // namespace

std::string ExeFolder() {
  std::lock_guard guard(folderLock);
  if (!folder) {
    folder = WithSeparator(ExecutableFolder());
  }
  return *folder;
}

void SetExeFolder(std::string_view path) {
  const auto absolute =
      path.empty() ? std::filesystem::current_path() : std::filesystem::absolute(path);
  std::lock_guard guard(folderLock);
  folder = WithSeparator(absolute);
}

}  // namespace talvero
