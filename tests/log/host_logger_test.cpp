#include "log/host_logger.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "log/desktop_logger.hpp"
#include "log/service_logger.hpp"
#include "log_home.hpp"
#include "recording_observer.hpp"

namespace talvero {
namespace {

using testing::At;
using testing::kStamp;
using testing::LogHome;
using testing::ReadFile;
using testing::RecordingObserver;
using testing::TempHome;
using testing::VirtualTime;

struct HostCase {
  HostKind kind;
  const char* root;
  const char* errReport;
};

void PrintTo(const HostCase& c, std::ostream* os) {
  *os << c.root;
}

class HostLoggerTest : public ::testing::TestWithParam<HostCase>, protected LogHome {
 protected:
  RecordingObserver observer;
  std::unique_ptr<HostLogger> logger = MakeHostLogger(GetParam().kind, time, observer);

  // The desktop host writes "All msg" in the background, and stopping its
  // writer drops what it has not reached yet.
  void WaitForAllMsgLines(size_t count) {
    if (GetParam().kind == HostKind::Desktop) {
      ASSERT_TRUE(observer.WaitForLines(kAllMsgChannel, count));
    }
  }

  std::string File(const std::string& relative) const {
    return ReadFile(home / (std::string(GetParam().root) + "/" + relative));
  }
};

TEST_P(HostLoggerTest, ChannelsLieInTheHostsFoldersWithTheirFileNames) {
  EXPECT_EQ(logger->AllMsgLog().FilePath(time.Now()),
            (home / (std::string(GetParam().root) + "/All msg/2024-03-07.log")).string());
  EXPECT_EQ(logger->ImpMsgLog().FilePath(time.Now()),
            (home / (std::string(GetParam().root) + "/Imp_msg.log")).string());
  EXPECT_EQ(logger->ErrorsLog().FilePath(time.Now()),
            (home / (std::string(GetParam().root) + "/Errors.log")).string());
}

TEST_P(HostLoggerTest, OneRunWritesEveryChannelAsItsHostDoes) {
  logger->LogApplicationStarted();
  logger->LogAllMsg("Listening");
  logger->LogImpMsg("!! CAN NOT OPEN SERIAL PORT COM1");
  logger->LogErr("ConnDB", "disk gone");
  logger->LogErrorText("Database will not load.");
  WaitForAllMsgLines(3);
  logger->LogApplicationClosed();

  EXPECT_EQ(File("All msg/2024-03-07.log"),
            kStamp + "Application started..\r\n" + kStamp + "Listening\r\n" + kStamp +
                "!! CAN NOT OPEN SERIAL PORT COM1\r\n" + kStamp + "Application closed\r\n\r\n");
  EXPECT_EQ(File("Imp_msg.log"), kStamp + "!! CAN NOT OPEN SERIAL PORT COM1\r\n");
  EXPECT_EQ(File("Errors.log"),
            kStamp + GetParam().errReport + "\r\n" + kStamp + "Database will not load.\r\n");
}

TEST_P(HostLoggerTest, FailedImpMsgWriteIsRaisedAndDoesNotReachAllMsg) {
  std::filesystem::create_directory(home / (std::string(GetParam().root) + "/Imp_msg.log"));
  EXPECT_THROW(logger->LogImpMsg("important"), std::runtime_error);
  logger->LogApplicationClosed();
  EXPECT_EQ(File("All msg/2024-03-07.log"), kStamp + "Application closed\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostLoggerTest,
    ::testing::Values(HostCase{HostKind::Service, "Log_Service",
                               "ERR in ConnDB, Error Msg: disk gone."},
                      HostCase{HostKind::Desktop, "Log", "ERR in ConnDB, Error Msg: disk gone"}),
    [](const auto& info) { return info.param.kind == HostKind::Service ? "Service" : "Desktop"; });

TEST(MakeHostLogger, GivesEachHostItsOwnKind) {
  TempHome home;
  VirtualTime time(At(2024, 3, 7));
  RecordingObserver observer;
  EXPECT_NE(dynamic_cast<ServiceLogger*>(MakeHostLogger(HostKind::Service, time, observer).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<DesktopLogger*>(MakeHostLogger(HostKind::Desktop, time, observer).get()),
            nullptr);
}

}  // namespace
}  // namespace talvero
