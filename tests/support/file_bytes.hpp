#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace talvero::testing {

// The bytes of a file; empty when it does not exist.
std::string ReadFile(const std::filesystem::path& path);
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);

// Makes the file hold exactly these bytes; throws when it cannot, so the test fails.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace talvero::testing
