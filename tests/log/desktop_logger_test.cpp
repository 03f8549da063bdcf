#include "log/desktop_logger.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "gate_observer.hpp"
#include "log_home.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using testing::BlockFolder;
using testing::GateObserver;
using testing::kStamp;
using testing::LogHome;
using testing::ReadFile;
using testing::RecordingObserver;

// A guard against hanging when the writer never ends, not a measure of time.
template <class Done>
bool WaitUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

class DesktopLoggerTest : public ::testing::Test, protected LogHome {
 protected:
  std::string AllMsg() const { return ReadFile(home / "Log/All msg/2024-03-07.log"); }
  std::string Errors() const { return ReadFile(home / "Log/Errors.log"); }
};

TEST_F(DesktopLoggerTest, StartLineIsWrittenDirectlyNotThroughTheWriter) {
  RecordingObserver observer;
  DesktopLogger logger(time, observer);
  logger.LogApplicationStarted();
  EXPECT_FALSE(logger.WriterRunning());
  EXPECT_EQ(AllMsg(), kStamp + "Application started..\r\n");
  logger.LogAllMsg("queued");
  EXPECT_TRUE(logger.WriterRunning());
}

TEST_F(DesktopLoggerTest, SoundsComeFirstAndEveryChannelLineReachesTheObserver) {
  RecordingObserver observer;
  DesktopLogger logger(time, observer);
  logger.LogImpMsg("\0Unit 00A1 first message"s);
  logger.LogErr("RealSend", "broken pipe");
  ASSERT_TRUE(observer.WaitForLines("All msg", 2));
  logger.StopWriter();
  std::vector<std::string> hostThread;
  for (const auto& e : observer.Events()) {
    if (!e.starts_with("All msg|")) {
      hostThread.push_back(e);
    }
  }
  EXPECT_EQ(
      hostThread,
      (std::vector<std::string>{
          "snd2", "Imp_msg|", "Imp_msg|" + kStamp + "Unit 00A1 first message", "blink Imp_msg",
          "snd3", "Errors|" + kStamp + "ERR in RealSend, Error Msg: broken pipe", "blink Errors"}));
  EXPECT_EQ(observer.Lines("All msg"),
            (std::vector<std::string>{"", kStamp + "Unit 00A1 first message"}));
  EXPECT_EQ(AllMsg(), "\r\n" + kStamp + "Unit 00A1 first message\r\n");
}

TEST_F(DesktopLoggerTest, FailingSoundIsReportedAndTheErrorStillWritten) {
  struct FailingSound : RecordingObserver {
    void PlaySnd(int) override { throw std::runtime_error("no audio"); }
  } observer;
  DesktopLogger logger(time, observer);
  logger.LogErr("ConnDB", "locked");
  EXPECT_EQ(Errors(), kStamp + "ERR in PS, Error Msg: no audio\r\n" + kStamp +
                          "ERR in ConnDB, Error Msg: locked\r\n");
}

TEST_F(DesktopLoggerTest, ClosingLosesQueuedLinesButClosedIsStillTheLastLine) {
  GateObserver gate("held");
  DesktopLogger logger(time, gate);
  logger.LogApplicationStarted();
  logger.LogAllMsg("held");
  ASSERT_TRUE(gate.WaitEntered());
  for (int i = 0; i < 20; ++i) {
    logger.LogAllMsg("queued " + std::to_string(i));
  }
  std::thread closing([&] { logger.LogApplicationClosed(); });
  gate.Release();
  closing.join();
  const std::string file = AllMsg();
  const std::string head = kStamp + "Application started..\r\n" + kStamp + "held\r\n";
  const std::string tail = kStamp + "Application closed\r\n\r\n";
  ASSERT_TRUE(file.starts_with(head)) << file;
  ASSERT_TRUE(file.ends_with(tail)) << file;
  // Whatever the writer got to before it saw the stop, in order and nothing else.
  std::string middle = file.substr(head.size(), file.size() - head.size() - tail.size());
  for (int i = 0; !middle.empty(); ++i) {
    const std::string line = kStamp + "queued " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(middle.starts_with(line)) << middle;
    middle.erase(0, line.size());
  }
  EXPECT_FALSE(logger.WriterRunning());
}

TEST_F(DesktopLoggerTest, FailedWriteEndsTheWriterAndTheNextMessageStartsANewOne) {
  RecordingObserver observer;
  DesktopLogger logger(time, observer);
  BlockFolder(home / "Log/All msg");
  logger.LogAllMsg("lost");
  ASSERT_TRUE(WaitUntil([&] { return !logger.WriterRunning(); }));
  std::filesystem::remove(home / "Log/All msg");
  logger.LogAllMsg("kept");
  ASSERT_TRUE(logger.WriterRunning());
  ASSERT_TRUE(observer.WaitForLines("All msg", 2));
  logger.StopWriter();
  EXPECT_EQ(AllMsg(), kStamp + "kept\r\n");
  // The ended writer's failure is not silent: it reaches "Errors" once.
  const std::string errors = Errors();
  EXPECT_TRUE(errors.starts_with(kStamp + "Cannot open log file")) << errors;
  EXPECT_EQ(errors.find("\r\n"), errors.size() - 2) << errors;
}

}  // namespace
}  // namespace talvero
