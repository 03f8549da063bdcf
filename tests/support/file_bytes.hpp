#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace talvero::testing {

// The bytes of a file; empty when it does not exist.
std::string ReadFile(const std::filesystem::path& path);

// Makes the file hold exactly these bytes; throws when it cannot, so the test fails.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace talvero::testing
