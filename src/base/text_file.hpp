#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// The whole file as bytes; throws when it cannot be read (a folder included).
std::string ReadWholeFile(const std::filesystem::path& path);

// The lines of a text, each ended by CR LF, LF or CR alone; a line end at the
// very end opens no further line. The views point into text.
std::vector<std::string_view> SplitLines(std::string_view text);

// Writes the bytes into a file beside the old one and then puts it in its
// place, so a failed write leaves the old file whole. Throws when the file
// cannot be written.
void ReplaceFileWith(const std::filesystem::path& path, std::string_view bytes);

// ReplaceFileWith of the lines, each ended by CR LF.
void ReplaceFileWithLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace talvero
