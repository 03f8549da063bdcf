#include "log/string_parser_thread.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

class WriterTest : public ::testing::Test, protected LogHome {
 protected:
  GateObserver gate{"first"};
  TLog log{time, "Log/All msg", "", TLogNaming::lnDaily, {&gate, "All msg", false}};
  std::mutex corvane;

  std::string File() const { return ReadFile(home / "Log/All msg/2024-03-07.log"); }
};

TEST_F(WriterTest, WritesInQueueOrderUntilStopped) {
  TStringParserThread writer(log, corvane, "first");
  ASSERT_TRUE(gate.WaitEntered());
  for (int i = 1; i <= 50; ++i) {
    ASSERT_TRUE(writer.AddLine("line " + std::to_string(i)));
  }
  gate.Release();
  ASSERT_TRUE(gate.WaitForLines("All msg", 51));
  writer.Stop();
  std::string expected = kStamp + "first\r\n";
  for (int i = 1; i <= 50; ++i) {
    expected += kStamp + "line " + std::to_string(i) + "\r\n";
  }
  EXPECT_EQ(File(), expected);
  EXPECT_TRUE(writer.Finished());
  EXPECT_EQ(writer.Failure(), "");
}

TEST_F(WriterTest, LinesStillQueuedAtStopAreNotWritten) {
  TStringParserThread writer(log, corvane, "first");
  ASSERT_TRUE(gate.WaitEntered());
  ASSERT_TRUE(writer.AddLine("queued 1"));
  ASSERT_TRUE(writer.AddLine("\0queued 2"s));
  writer.RequestStop();
  gate.Release();
  writer.WaitFinished();
  EXPECT_EQ(File(), kStamp + "first\r\n");
  EXPECT_TRUE(writer.Finished());
  EXPECT_FALSE(writer.AddLine("too late"));
}

TEST_F(WriterTest, FailedWriteEndsTheWriterAndKeepsTheFailureText) {
  BlockFolder(home / "Log/All msg");
  TStringParserThread writer(log, corvane, "first");
  ASSERT_TRUE(gate.WaitEntered());
  ASSERT_TRUE(writer.AddLine("queued behind the failure"));
  gate.Release();
  writer.WaitFinished();  // ends by itself; no stop was asked for
  EXPECT_TRUE(writer.Finished());
  EXPECT_TRUE(writer.Failure().starts_with("Cannot open log file")) << writer.Failure();
  EXPECT_FALSE(writer.AddLine("after the end"));
  std::filesystem::remove(home / "Log/All msg");
  EXPECT_EQ(File(), "");
}

}  // namespace
}  // namespace talvero
