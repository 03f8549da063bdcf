// What pages can say to the monitor over its WebSocket channel: any text,
// read as the channel reads it and handed to the monitor hub of a desktop
// engine that has not been started (no socket, no serial port is opened).
//
// The input is up to 16 messages, one a line; the first byte of a line picks
// the page (odd: page 2, which opens and closes as the lines say).
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "hosts/monitor_hub.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "platform/web_channel_message.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_time.hpp"

namespace talvero {
namespace {

// Every message to a page must be a typed object that goes out as JSON.
class CheckingOutlet final : public PageOutlet {
 public:
  void Send(PageId, const nlohmann::json& message) override { Check(message); }
  void Broadcast(const nlohmann::json& message) override { Check(message); }

 private:
  static void Check(const nlohmann::json& message) {
    const auto type = message.find("type");
    if (!message.is_object() || type == message.end() || !type->is_string()) {
      fuzzing::Finding("a message to a page without its type");
    }
    if (nlohmann::json::parse(ChannelText(message), nullptr, false).is_discarded()) {
      fuzzing::Finding("a message to a page that is not JSON");
    }
  }
};

struct Monitor {
  Monitor() {
    std::filesystem::current_path(home.path());
    SetExeFolder(home.path().string());
    std::filesystem::create_directories("Resources");
    std::filesystem::create_directories("dev");
    testing::WriteFile(
        "Talvero.ini",
        "TcpUdpSrvPort=33665\r\nSerialPort=COM1\r\nCommTrouble1=15\r\n"
        "CommTrouble2=60\r\nCommTrouble3=240\r\nCommTrStartUpDelay=7\r\n"
        "PingInvToMonitSoft=30\r\nEncrMarker=0\r\nAutoStartUp=0\r\nSystemTray=0\r\n"
        "PlaySounds=1\r\nReceiverNumber=7\r\nLineNumber=7\r\nEncryptionKey=9873\r\n");
    hub.Open(1);
  }

  // The logs of a long run would fill the temporary folder: they start over.
  void EmptyLogs() {
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(home.path() / "Log", ec)) {
      if (entry.is_regular_file(ec)) {
        std::filesystem::resize_file(entry.path(), 0, ec);
      }
    }
  }

  testing::TempDir home;
  boost::asio::io_context io;
  testing::VirtualTime time{testing::At(2024, 3, 7, 9, 0, 0)};
  MonitorState state{
      [this](std::function<void()> task) { boost::asio::post(io, std::move(task)); }};
  ReceiverEngine engine{
      io, time, time, state, {HostKind::Desktop, (home.path() / "dev").string(), std::nullopt}};
  CheckingOutlet outlet;
  bool closed = false;
  MonitorHub hub{
      engine, state, outlet, time, time, {"ttyS0", "ttyUSB0"}, [this] { closed = true; }};
  bool secondOpen = false;
  size_t runs = 0;
};

}  // namespace
}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  static Monitor monitor;
  std::string_view input = fuzzing::Bytes(data, size);
  for (int line = 0; line < 16 && !input.empty(); ++line) {
    const size_t end = input.find('\n');
    std::string_view text = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
    if (text.empty()) {
      continue;
    }
    const bool second = (static_cast<uint8_t>(text[0]) & 1) != 0;
    text.remove_prefix(1);
    if (second && text == "open") {
      monitor.hub.Open(2);
      monitor.secondOpen = true;
      continue;
    }
    if (second && text == "closed") {
      monitor.hub.Closed(2);
      monitor.secondOpen = false;
      continue;
    }
    const ChannelMessage read = ReadChannelMessage(text);
    if (read.Ok()) {
      monitor.hub.Message(second ? 2 : 1, read.message);
    }
    monitor.io.poll();
  }
  monitor.time.Advance(std::chrono::milliseconds(150));
  monitor.io.poll();
  if (++monitor.runs % 4096 == 0) {
    monitor.EmptyLogs();
  }
  return 0;
}
