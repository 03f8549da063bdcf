// ProcessRecMsg with any bytes, over a TCP route and the UDP binding, on both
// host profiles. The first byte chooses: bit 0 the desktop host, bit 1 UDP,
// bit 2 a checksum appended, bit 3 bytes 4 on encrypted first (marker 1), so
// that the fuzzer also reaches what lies behind the checksum and the cipher.
#include <memory>

#include "engine/frame_engine.hpp"
#include "engine/unit_frames.hpp"
#include "fuzz_support.hpp"

namespace talvero {
namespace {

testing::FrameEngine& EngineOf(HostKind host) {
  static talvero::testing::FrameEngine service(HostKind::Service);
  static talvero::testing::FrameEngine desktop(HostKind::Desktop);
  return host == HostKind::Desktop ? desktop : service;
}

}  // namespace
}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvero;
  if (size < 1) {
    return 0;
  }
  const uint8_t choice = data[0];
  std::string frame(fuzzing::Bytes(data + 1, size - 1));
  if ((choice & 8) != 0 && frame.size() >= 4) {
    frame = talvero::testing::Encrypted(frame);
  } else if ((choice & 4) != 0) {
    frame = AddCrc8(frame);
  }
  talvero::testing::FrameEngine& e =
      EngineOf((choice & 1) != 0 ? HostKind::Desktop : HostKind::Service);
  static const auto tcp = talvero::testing::MakeTcpRoute("10.0.0.5", 4001);
  static const auto udp = talvero::testing::MakeUdpBinding("10.0.0.9", 5000);
  const auto& route = (choice & 2) != 0 ? udp : tcp;
  e.log.Clear();
  route->sent.clear();

  e.processor.ProcessRecMsg(route, frame);

  fuzzing::RequireNoErr(e.log);
  if (route->sent.size() > 1) {
    fuzzing::Finding("a frame answered more than once");
  }
  // The station answers every line, so the queue stays small.
  while (!e.link.Queue().empty()) {
    e.port.Deliver("\x06");
  }
  return 0;
}
