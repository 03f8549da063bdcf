#include "platform/udp_server.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/asio.hpp"
#include "run_until.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using boost::asio::ip::address_v4;
using boost::asio::ip::udp;

// Datagrams are taken from the kernel many at a time; a burst of several
// takes must still reach the handler whole, in order, each with its sender.
TEST(UdpServer, BurstBeyondOneTakeIsHandedOnInOrderWithEachSender) {
  boost::asio::io_context io;
  testing::RecordingLogger log;
  std::mutex engineLock;
  FrameDelivery delivery(log, engineLock);
  struct Seen {
    std::string frame;
    uint16_t peerPort;
  };
  std::vector<Seen> seen;
  delivery.SetHandler([&](const Route& route, std::string_view frame) {
    seen.push_back({std::string(frame), route->PeerPort()});
  });
  auto server = std::make_shared<UdpServer>(io, 0, delivery);
  server->Start();

  udp::socket even(io, udp::endpoint(address_v4::loopback(), 0));
  udp::socket odd(io, udp::endpoint(address_v4::loopback(), 0));
  const udp::endpoint to(address_v4::loopback(), server->LocalPort());
  constexpr int kDatagrams = 200;
  for (int i = 0; i < kDatagrams; ++i) {
    const std::string frame = "frame " + std::to_string(i);
    (i % 2 == 0 ? even : odd).send_to(boost::asio::buffer(frame), to);
  }
  ASSERT_TRUE(testing::RunUntil(io, [&] { return seen.size() == kDatagrams; }));
  for (int i = 0; i < kDatagrams; ++i) {
    EXPECT_EQ(seen[i].frame, "frame " + std::to_string(i));
    EXPECT_EQ(seen[i].peerPort, (i % 2 == 0 ? even : odd).local_endpoint().port()) << i;
  }
  EXPECT_TRUE(log.entries.empty());
  server->Close();
}

}  // namespace
}  // namespace talvero
