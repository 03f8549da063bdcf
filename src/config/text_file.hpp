#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace talvero {

// The whole file as bytes; throws when it cannot be read (a folder included).
std::string ReadWholeFile(const std::filesystem::path& path);

// Writes the lines, each ended by CR LF, into a file beside the old one and
// then puts it in its place, so a failed write leaves the old file whole.
// Throws when the file cannot be written.
void ReplaceFileWithLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace talvero
