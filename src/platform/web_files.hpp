#pragma once

#include <span>
#include <string_view>

namespace talvero {

// A file of the browser UI, held in the executable.
struct WebFile {
  std::string_view path;  // relative to the UI's root: "index.html", "sounds/0.wav"
  std::string_view contentType;
  std::string_view body;
};

// The files of web/ and the generated sounds, embedded by the build
// (cmake/embed_files.cmake writes the definition).
std::span<const WebFile> EmbeddedWebFiles();

}  // namespace talvero
