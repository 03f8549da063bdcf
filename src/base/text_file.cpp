#include "base/text_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace talvero {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void ThrowFileError(int error, const char* what, const std::filesystem::path& path) {
  throw std::system_error(error, std::generic_category(), std::string(what) + " " + path.string());
}

// errno, or EIO where a failed call left none.
int LastError() {
  return errno != 0 ? errno : EIO;
}

bool WriteAll(std::FILE* file, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
         ::fsync(::fileno(file)) == 0;
}

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    ThrowFileError(errno, "cannot open", path);
  }
  std::string text;
  char buffer[64 * 1024];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    text.append(buffer, got);
  }
  if (std::ferror(file.get())) {
    ThrowFileError(errno, "cannot read", path);
  }
  return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\r' && text[i] != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
    start = i;
  }
  if (start < text.size()) {
    lines.push_back(text.substr(start));
  }
  return lines;
}

void ReplaceFileWithLines(const std::filesystem::path& path,
                          const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  ReplaceFileWith(path, text);
}

void ReplaceFileWith(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::path fresh = path;
  fresh += ".tmp";
  std::FILE* file = std::fopen(fresh.c_str(), "wb");
  if (file == nullptr) {
    ThrowFileError(errno, "cannot write", path);
  }
  errno = 0;
  int error = WriteAll(file, text) ? 0 : LastError();
  if (std::fclose(file) != 0 && error == 0) {
    error = LastError();
  }
  if (error == 0 && std::rename(fresh.c_str(), path.c_str()) != 0) {
    error = LastError();
  }
  if (error != 0) {
    std::remove(fresh.c_str());
    ThrowFileError(error, "cannot write", path);
  }
}

}  // namespace talvero
