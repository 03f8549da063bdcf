// The bytes the monitoring software sends, grouped into chunks as the serial
// port groups them, while lines are queued and time passes. The input is a
// list of steps: a step byte, then for input steps a length byte and that many
// bytes from the line. Step byte: 0..63 bytes from the line after (step) ms,
// 64..127 an alarm line queued, 128..191 a trouble line appended, 192..255 a
// jump of (step - 191) seconds.
#include <chrono>

#include "fuzz_support.hpp"
#include "platform/chunk_assembler.hpp"
#include "station/station_link.hpp"
#include "support/fake_serial_port.hpp"
#include "support/recording_host_observer.hpp"
#include "support/virtual_time.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  using namespace std::chrono_literals;
  testing::VirtualTime time(testing::At(2024, 3, 7, 9, 0, 0));
  testing::FakeSerialPort port;
  testing::RecordingLogger log;
  testing::RecordingHostObserver observer;
  Settings settings;
  settings.PingInvToMonitSoft = 30;
  StationLink link(port, time, time, log, HostKind::Service, observer, settings);
  link.DoActivateSerialPort();
  link.ApplyPingInterval();
  link.EnableTimers();

  ChunkAssembler assembler;
  ChunkAssembler::TimePoint wire{};
  size_t queued = 0;
  size_t at = 0;
  while (at < size) {
    const uint8_t step = data[at++];
    if (step < 64) {
      const size_t length = at < size ? data[at++] : 0;
      const size_t taken = std::min(length, size - at);
      time.Advance(std::chrono::milliseconds(step));
      wire += std::chrono::milliseconds(step);
      if (auto quiet = assembler.TakeIfQuiet(wire)) {
        port.Deliver(*quiet);
      }
      for (const std::string& chunk : assembler.Add(fuzzing::Bytes(data + at, taken), wire)) {
        if (chunk.empty() || chunk.size() > ChunkAssembler::kChunkLimit) {
          fuzzing::Finding("a chunk of a size the port never hands over");
        }
        port.Deliver(chunk);
      }
      at += taken;
    } else if (step < 128) {
      link.AddToSendBuf(AlarmEventLine(7, 7, "1234", "E130", "01", "005"));
      ++queued;
    } else if (step < 192) {
      link.AppendToSendBuf(CommTroubleLine(7, 7, "1234", 1));
      ++queued;
    } else {
      time.Advance(std::chrono::seconds(step - 191));
      wire += std::chrono::seconds(step - 191);
    }
  }
  fuzzing::RequireNoErr(log);
  for (const std::string& write : port.writes) {
    if (write != "\x06" && (write.empty() || write.back() != '\x14')) {
      fuzzing::Finding("a write that is neither a line with its DC4 nor an ACK");
    }
  }
  if (link.Queue().size() > queued + 3) {
    fuzzing::Finding("more lines wait than were queued");
  }
  return 0;
}
