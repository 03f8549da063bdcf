// Talvero_cc.ini of any bytes: every line loads, only valid lines become menu
// items, each item parses again to what it showed, and a readable file never
// reaches the "Errors" log.
#include <filesystem>

#include "engine/custom_commands.hpp"
#include "fuzz_support.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "Talvero_cc.ini";
  testing::WriteFile(path, fuzzing::Bytes(data, size));
  testing::RecordingLogger log;
  CustomCommands custom;
  custom.AppendCustomCmdToPopupMenu(path, log);
  fuzzing::RequireNoErr(log);
  if (size == 0 && custom.HasSubmenu()) {
    fuzzing::Finding("an empty file gave a submenu");
  }
  for (const CustomMenuItem& item : custom.MenuItems()) {
    const CustomCommandLine line = custom.Line(item.LineIndex);
    if (!line.Valid || line.Caption != item.Caption || line.Caption.empty() ||
        line.Payload.empty()) {
      fuzzing::Finding("a menu item whose line does not parse to it");
    }
  }
  return 0;
}
