#include "platform/tcp_station_port.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/asio.hpp"
#include "run_until.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using boost::asio::ip::tcp;
using testing::RecordingLogger;
using testing::RunFor;
using testing::RunUntil;

// The monitoring software's end: a listener on a free loopback port.
class TcpStationPortTest : public ::testing::Test {
 protected:
  TcpStationPortTest()
      : acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)),
        port(io, log, "127.0.0.1", acceptor.local_endpoint().port()) {
    port.SetChunkHandler([this](std::string_view chunk) { chunks.emplace_back(chunk); });
    port.SetLossHandler([this](const std::string& name) { losses.push_back(name); });
    port.SetOpenHandler([this] { ++opens; });
  }

  // Opens the port and takes the connection on the far side.
  void Connect() {
    acceptor.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
      ASSERT_FALSE(ec) << ec.message();
      peer.emplace(std::move(socket));
    });
    const int opensBefore = opens;
    EXPECT_FALSE(port.Open("COM1"));
    ASSERT_TRUE(RunUntil(io, [&] { return opens == opensBefore + 1 && peer.has_value(); }));
    EXPECT_TRUE(port.IsOpen());
  }

  std::string PeerReads(size_t bytes) {
    std::string got(bytes, '\0');
    boost::asio::read(*peer, boost::asio::buffer(got));
    return got;
  }

  void PeerWrites(std::string_view bytes) { boost::asio::write(*peer, boost::asio::buffer(bytes)); }

  std::string Address() const {
    return "tcp:127.0.0.1:" + std::to_string(acceptor.local_endpoint().port());
  }

  boost::asio::io_context io;
  RecordingLogger log;
  tcp::acceptor acceptor;
  TcpStationPort port;
  std::optional<tcp::socket> peer;
  std::vector<std::string> chunks;
  std::vector<std::string> losses;
  int opens = 0;
};

TEST_F(TcpStationPortTest, CarriesTheLineBothWaysInTheSerialPortsChunks) {
  Connect();
  EXPECT_EQ(port.Name(), Address());
  EXPECT_EQ(port.NamesFor("COM1").upper, "STATION CONNECTION " + Address());
  port.Write("5077 181234E13001005\x14");
  RunFor(io, std::chrono::milliseconds(20));
  EXPECT_EQ(PeerReads(21), "5077 181234E13001005\x14");

  PeerWrites("\x06");
  ASSERT_TRUE(RunUntil(io, [&] { return chunks.size() == 1; }));
  // The station's heartbeat in two pieces is one chunk.
  PeerWrites("1011     ");
  RunFor(io, std::chrono::milliseconds(50));
  PeerWrites("      @    \x14");
  ASSERT_TRUE(RunUntil(io, [&] { return chunks.size() == 2; }));
  EXPECT_EQ(chunks, (std::vector<std::string>{"\x06", "1011           @    \x14"}));
  EXPECT_TRUE(losses.empty());
}

TEST_F(TcpStationPortTest, APeerThatClosesIsALossToldOnceAndANewTryFollowsOpen) {
  Connect();
  PeerWrites("xyz");  // bytes before the close still reach the link
  peer->close();
  ASSERT_TRUE(RunUntil(io, [&] { return !losses.empty(); }));
  RunFor(io, std::chrono::milliseconds(50));
  EXPECT_EQ(losses, std::vector<std::string>{Address()});
  EXPECT_EQ(chunks, std::vector<std::string>{"xyz"});
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Name(), "");
  port.Write("dropped while down\x14");

  peer.reset();
  Connect();
  EXPECT_EQ(opens, 2);
}

TEST_F(TcpStationPortTest, NobodyListeningIsALossOfEachTry) {
  acceptor.close();
  EXPECT_FALSE(port.Open("COM1"));
  EXPECT_FALSE(port.Open("COM1"));  // the try under way is not doubled
  ASSERT_TRUE(RunUntil(io, [&] { return losses.size() == 1; }));
  EXPECT_FALSE(port.Open("COM1"));
  ASSERT_TRUE(RunUntil(io, [&] { return losses.size() == 2; }));
  EXPECT_EQ(opens, 0);
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(TcpStationPortTest, APeerThatStopsReadingIsALossNotAGrowingQueue) {
  Connect();
  // Without the loop running nothing leaves: the writes wait in the queue.
  const std::string line(1000, 'L');
  for (size_t written = 0; written <= TcpStationPort::kMaxQueuedBytes; written += line.size()) {
    port.Write(line);
  }
  ASSERT_TRUE(RunUntil(io, [&] { return !losses.empty(); }));
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(TcpStationPortTest, AFloodOfGarbageArrivesInBoundedChunks) {
  Connect();
  const std::string flood(100'000, 'x');
  PeerWrites(flood);
  size_t total = 0;
  ASSERT_TRUE(RunUntil(
      io,
      [&] {
        total = 0;
        for (const auto& chunk : chunks) {
          total += chunk.size();
        }
        return total == flood.size();
      },
      std::chrono::milliseconds(5000)));
  for (const auto& chunk : chunks) {
    EXPECT_LE(chunk.size(), 3072u);
  }
  EXPECT_TRUE(port.IsOpen());
}

}  // namespace
}  // namespace talvero
