#include "platform/asio_serial_port.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <fstream>

#include "platform/asio.hpp"
#include "run_until.hpp"
#include "support/recording_logger.hpp"
#include "support/temp_dir.hpp"

namespace talvero {
namespace {

using testing::RecordingLogger;
using testing::RunFor;
using testing::RunUntil;

// A pseudo-terminal that plays the monitoring software on its master side.
// The slave stays open in here until the port has opened it, since with no
// slave open the master only reads EIO.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) != 0) {
      throw std::runtime_error("no pseudo-terminal name");
    }
    slavePath_ = name.data();
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PseudoTerminal() {
    CloseSlave();
    CloseMaster();
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Slave() const { return slave_; }
  void CloseSlave() { CloseFd(slave_); }
  void CloseMaster() { CloseFd(master_); }

  void Write(std::string_view bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Read() {
    std::array<char, 4096> buffer;
    const ssize_t length = read(master_, buffer.data(), buffer.size());
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
  }

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) {
      close(fd);
      fd = -1;
    }
  }

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

std::string EveryByte() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) {
    bytes.push_back(static_cast<char>(i));
  }
  return bytes;
}

class AsioSerialPortTest : public ::testing::Test {
 protected:
  AsioSerialPortTest() {
    std::filesystem::create_symlink(pty.SlavePath(), devDir.path() / "ttyS0");
    port.SetChunkHandler([this](std::string_view chunk) { chunks.emplace_back(chunk); });
  }

  // Opens COM1 (the pseudo-terminal) and lets go of the test's own slave.
  void OpenCom1() {
    ASSERT_TRUE(port.Open("COM1"));
    pty.CloseSlave();
  }

  std::string ReadMaster(PseudoTerminal& from, size_t n) {
    std::string got;
    RunUntil(io, [&] {
      got += from.Read();
      return got.size() >= n;
    });
    return got;
  }

  std::string Received() const {
    std::string all;
    for (const auto& chunk : chunks) {
      all += chunk;
    }
    return all;
  }

  testing::TempDir devDir;
  PseudoTerminal pty;
  boost::asio::io_context io;
  RecordingLogger log;
  AsioSerialPort port{io, log, devDir.path()};
  std::vector<std::string> chunks;
};

TEST_F(AsioSerialPortTest, OpensTheMappedDeviceAt9600EightNoneOneRaw) {
  ASSERT_TRUE(port.Open("COM1"));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.Name(), "COM1");

  termios settings{};
  ASSERT_EQ(tcgetattr(pty.Slave(), &settings), 0);
  EXPECT_EQ(cfgetispeed(&settings), B9600);
  EXPECT_EQ(cfgetospeed(&settings), B9600);
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(AsioSerialPortTest, EveryByteValuePassesUnchangedBothWays) {
  OpenCom1();
  const std::string bytes = EveryByte();
  pty.Write(bytes);
  ASSERT_TRUE(RunUntil(io, [&] { return Received().size() >= bytes.size(); }));
  EXPECT_EQ(chunks, std::vector<std::string>{bytes});

  port.Write(bytes);
  EXPECT_EQ(ReadMaster(pty, bytes.size()), bytes);
}

TEST_F(AsioSerialPortTest, WritesQueueBehindTheOneInFlight) {
  OpenCom1();
  const std::string line = std::string("5077 181234E35000002") + '\x14';
  port.Write(line);
  port.Write("\x06");
  port.Write(line);
  EXPECT_EQ(ReadMaster(pty, 2 * line.size() + 1), line + '\x06' + line);
}

TEST_F(AsioSerialPortTest, EachBurstIsOneChunk) {
  OpenCom1();
  const std::string heartbeat = std::string("1011") + std::string(11, ' ') + "@    " + '\x14';
  pty.Write(heartbeat);
  ASSERT_TRUE(RunUntil(io, [&] { return !chunks.empty(); }));
  RunFor(io, std::chrono::milliseconds(50));
  pty.Write("\x06");
  ASSERT_TRUE(RunUntil(io, [&] { return chunks.size() >= 2; }));
  RunFor(io, std::chrono::milliseconds(20));
  EXPECT_EQ(chunks, (std::vector<std::string>{heartbeat, "\x06"}));
}

TEST_F(AsioSerialPortTest, AHeartbeatDeliveredInTwoPiecesIsOneChunk) {
  OpenCom1();
  const std::string heartbeat = std::string("1011") + std::string(11, ' ') + "@    " + '\x14';
  // As a USB adapter hands it over: two packets some 20 ms apart.
  pty.Write(heartbeat.substr(0, 8));
  RunFor(io, std::chrono::milliseconds(20));
  pty.Write(heartbeat.substr(8));
  ASSERT_TRUE(RunUntil(io, [&] { return !chunks.empty(); }));
  EXPECT_EQ(chunks, std::vector<std::string>{heartbeat});
}

TEST_F(AsioSerialPortTest, RenameWhileOpenMovesToTheNewDevice) {
  PseudoTerminal second;
  std::filesystem::create_symlink(second.SlavePath(), devDir.path() / "ttyUSB0");
  OpenCom1();
  ASSERT_TRUE(port.Open("USB0"));
  second.CloseSlave();
  EXPECT_EQ(port.Name(), "USB0");

  port.Write("to second");
  EXPECT_EQ(ReadMaster(second, 9), "to second");
  EXPECT_EQ(pty.Read(), "");
  second.Write("from second");
  ASSERT_TRUE(RunUntil(io, [&] { return Received().size() >= 11; }));
  EXPECT_EQ(Received(), "from second");
}

TEST_F(AsioSerialPortTest, ANameBelowTheDeviceFolderIsOpenedAsNamed) {
  std::filesystem::create_directories(devDir.path() / "pts");
  std::filesystem::create_symlink(pty.SlavePath(), devDir.path() / "pts" / "COM1");
  ASSERT_TRUE(port.Open("pts/COM1"));
  pty.CloseSlave();
  EXPECT_EQ(port.Name(), "pts/COM1");
  port.Write("below");
  EXPECT_EQ(ReadMaster(pty, 5), "below");
}

TEST_F(AsioSerialPortTest, DeviceThatCannotBeOpenedLeavesThePortClosed) {
  std::ofstream(devDir.path() / "COM7") << "not a terminal";
  for (const std::string name : {"COM5", "COM7", "../ttyS0", "pts/../../ttyS0", "pts/9", ""}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(port.Open(name));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Name(), "");
    port.Write("dropped");
  }
  // A failed open under a new name also leaves the old device.
  OpenCom1();
  EXPECT_FALSE(port.Open("COM5"));
  EXPECT_FALSE(port.IsOpen());
  RunFor(io, std::chrono::milliseconds(5));
  EXPECT_EQ(pty.Read(), "");
}

TEST_F(AsioSerialPortTest, AVanishedDeviceIsToldOnceAndOpensAgainWhenItIsBack) {
  std::vector<std::string> lost;
  port.SetLossHandler([&](const std::string& name) { lost.push_back(name); });
  OpenCom1();
  pty.CloseMaster();  // the other side hangs up
  ASSERT_TRUE(RunUntil(io, [&] { return !port.IsOpen(); }));
  RunFor(io, std::chrono::milliseconds(20));
  EXPECT_EQ(lost, std::vector<std::string>{"COM1"});
  EXPECT_EQ(port.Name(), "");
  port.Write("nowhere");
  EXPECT_FALSE(port.Open("COM1"));
  EXPECT_TRUE(log.entries.empty());
  EXPECT_TRUE(chunks.empty());

  // The device comes back under its name.
  PseudoTerminal back;
  std::filesystem::remove(devDir.path() / "ttyS0");
  std::filesystem::create_symlink(back.SlavePath(), devDir.path() / "ttyS0");
  ASSERT_TRUE(port.Open("COM1"));
  back.CloseSlave();
  port.Write("again");
  EXPECT_EQ(ReadMaster(back, 5), "again");
  back.Write("\x06");
  ASSERT_TRUE(RunUntil(io, [&] { return !chunks.empty(); }));
  EXPECT_EQ(chunks, std::vector<std::string>{"\x06"});
  EXPECT_EQ(lost.size(), 1u);
}

TEST_F(AsioSerialPortTest, ChunkHandlerFailureStaysInsideTheLoop) {
  port.SetChunkHandler([this](std::string_view chunk) {
    chunks.emplace_back(chunk);
    throw std::runtime_error("link failed");
  });
  OpenCom1();
  pty.Write("a");
  ASSERT_TRUE(RunUntil(io, [&] { return !chunks.empty(); }));
  pty.Write("b");
  ASSERT_TRUE(RunUntil(io, [&] { return chunks.size() >= 2; }));
  EXPECT_EQ(log.ErrNames(), (std::vector<std::string>{"SerialPortChunk", "SerialPortChunk"}));
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(AsioSerialPortTest, CloseStopsReadingAndWriting) {
  OpenCom1();
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  pty.Write("sent after close");
  port.Write("after close");
  // Longer than the quiet span after which waiting bytes become a chunk.
  RunFor(io, std::chrono::milliseconds(300));
  EXPECT_TRUE(chunks.empty());
  EXPECT_EQ(pty.Read(), "");
}

}  // namespace
}  // namespace talvero
