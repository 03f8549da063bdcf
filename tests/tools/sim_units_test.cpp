#include "unit_sim/sim_units.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace talvero {
namespace {

namespace asio = boost::asio;
using asio::ip::tcp;

struct RecordedEvents final : UnitEvents {
  void OnConnected(SimUnit&) override { ++connected; }
  void OnConnectFailed(SimUnit&) override { ++connectFailed; }
  void OnFrame(SimUnit&, std::string_view) override {}
  void OnWritten(SimUnit&) override { ++written; }
  void OnSendFailed(SimUnit&) override { ++sendFailed; }
  void OnClosed(SimUnit&) override {}

  int connected = 0;
  int connectFailed = 0;
  int written = 0;
  int sendFailed = 0;
};

// Runs the loop until done holds, at most a few seconds.
bool RunUntil(asio::io_context& io, const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < giveUp) {
    io.run_one_for(std::chrono::milliseconds(100));
  }
  return done();
}

// A receiver that stops reading: the frame cannot all go out, and the next
// waits for it instead of overwriting the bytes still being written.
TEST(TcpSimUnit, TakesNoFrameWhileTheLastIsStillBeingWritten) {
  asio::io_context io;
  tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
  tcp::socket peer(io);
  bool accepted = false;
  acceptor.async_accept(peer, [&](const boost::system::error_code& ec) { accepted = !ec; });
  RecordedEvents events;
  TcpSimUnit unit(io, events, 1);
  unit.Connect(asio::ip::address_v4::loopback(), acceptor.local_endpoint().port());
  ASSERT_TRUE(RunUntil(io, [&] { return accepted && events.connected == 1; }));

  // Far more than the socket buffers of both ends hold.
  std::string first(64 << 20, '\0');
  for (size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<char>(i * 7 / 5);
  }
  unit.Send(first);
  io.poll();
  ASSERT_TRUE(unit.WritePending());
  EXPECT_THROW(unit.Send("second"), std::logic_error);

  std::string received;
  std::array<char, 65536> buffer{};
  std::function<void()> read = [&] {
    peer.async_read_some(asio::buffer(buffer), [&](const boost::system::error_code& ec, size_t n) {
      if (!ec) {
        received.append(buffer.data(), n);
        read();
      }
    });
  };
  read();
  ASSERT_TRUE(RunUntil(io, [&] { return events.written == 1; }));
  EXPECT_FALSE(unit.WritePending());
  unit.Send("third");
  ASSERT_TRUE(
      RunUntil(io, [&] { return events.written == 2 && received.size() == first.size() + 5; }));
  EXPECT_TRUE(received.substr(0, first.size()) == first);
  EXPECT_EQ(received.substr(first.size()), "third");
  EXPECT_EQ(events.sendFailed, 0);
  unit.Close();
}

}  // namespace
}  // namespace talvero
