// Talvero.ini of any bytes, through the layout upgrade and the reading that
// applies every value. The first byte chooses the host (bit 0: desktop).
#include <filesystem>

#include "config/read_settings.hpp"
#include "config/rewrite_settings_file.hpp"
#include "config/settings_editor.hpp"
#include "config/settings_effects.hpp"
#include "fuzz_support.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

class NoEffects final : public SettingsEffects {
 public:
  bool StartUpCompleted() const override { return false; }
  void ActivateSrvPort(bool) override {}
  void DoActivateSerialPort() override {}
  void PingMonitSoft() override {}
  void ApplyPingInterval() override {}
  void ChangeCommTrDefault(int, std::optional<int32_t>) override {}
};

}  // namespace
}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  if (size < 1) {
    return 0;
  }
  static testing::TempDir dir;
  const std::filesystem::path path = dir.path() / "Talvero.ini";
  testing::WriteFile(path, fuzzing::Bytes(data + 1, size - 1));
  testing::RecordingLogger log;
  Settings settings;
  NoEffects effects;
  SettingsEditor editor(settings, effects, log,
                        (data[0] & 1) != 0 ? HostKind::Desktop : HostKind::Service);
  RewriteSettingsFile_Old2New(path, log);
  ReadSettings(editor, path);
  if (settings.SerialPort.size() < 3 || settings.SerialPort.size() > 6) {
    fuzzing::Finding("a SerialPort of a length the rule refuses");
  }
  return 0;
}
