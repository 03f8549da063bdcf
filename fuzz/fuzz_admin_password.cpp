// Resources/bin.ini of any bytes reads without a failure, and any new password
// the change window accepts reads back exactly as it was typed. The first byte
// splits the input: that many bytes (modulo the rest) are the file, the rest
// the new password.
#include <filesystem>
#include <string>

#include "fuzz_support.hpp"
#include "hosts/admin_password.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  if (size == 0) {
    return 0;
  }
  const std::string_view input = fuzzing::Bytes(data + 1, size - 1);
  const size_t split = input.empty() ? 0 : data[0] % (input.size() + 1);
  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "bin.ini";
  testing::WriteFile(path, input.substr(0, split));
  const AdminPasswordFile file(path);
  const std::string stored = file.ReadStored();
  const std::string next(input.substr(split));
  const PasswordChangeAnswer answer = file.Change(stored, next);
  if (next.empty() || next == stored) {
    if (answer.close) {
      fuzzing::Finding("an empty or unchanged password was accepted");
    }
  } else if (!answer.close) {
    fuzzing::Finding("a new password was refused: " + answer.text);
  } else if (file.ReadStored() != next) {
    fuzzing::Finding("a changed password does not read back");
  }
  return 0;
}
