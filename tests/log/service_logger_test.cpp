#include "log/service_logger.hpp"

#include <gtest/gtest.h>

#include <string>

#include "log_home.hpp"

namespace talvero {
namespace {

using namespace std::string_literals;
using testing::BlockFolder;
using testing::kStamp;
using testing::LogHome;
using testing::ReadFile;

class ServiceLoggerTest : public ::testing::Test, protected LogHome {
 protected:
  ServiceLogger logger{time};
};

TEST_F(ServiceLoggerTest, AllMsgLineIsOnDiskWhenTheCallReturns) {
  logger.LogAllMsg("\0>> 5071 18...."s);
  EXPECT_EQ(ReadFile(home / "Log_Service/All msg/2024-03-07.log"),
            "\r\n" + kStamp + ">> 5071 18....\r\n");
}

TEST_F(ServiceLoggerTest, FailedAllMsgWriteIsReportedToErrorsAndTheMessageIsLost) {
  BlockFolder(home / "Log_Service/All msg");
  logger.LogAllMsg("lost line");
  const std::string errors = ReadFile(home / "Log_Service/Errors.log");
  EXPECT_TRUE(errors.starts_with(kStamp + "Cannot open log file \"")) << errors;
  EXPECT_NE(errors.find("Log_Service/All msg/2024-03-07.log\""), std::string::npos) << errors;
  EXPECT_TRUE(errors.ends_with("\r\n")) << errors;
  EXPECT_EQ(errors.find("lost line"), std::string::npos) << errors;
}

TEST_F(ServiceLoggerTest, DeferredAllMsgLinesLeaveWithTheFlushAndAFailedFlushIsReported) {
  int requests = 0;
  logger.DeferWrites([&] { ++requests; });
  logger.LogImpMsg("important");
  EXPECT_EQ(ReadFile(home / "Log_Service/Imp_msg.log"), kStamp + "important\r\n");
  EXPECT_EQ(ReadFile(home / "Log_Service/All msg/2024-03-07.log"), "");
  logger.FlushWrites();
  EXPECT_EQ(ReadFile(home / "Log_Service/All msg/2024-03-07.log"), kStamp + "important\r\n");
  EXPECT_EQ(requests, 1);

  logger.LogAllMsg("lost line");
  BlockFolder(home / "Log_Service/All msg");
  logger.FlushWrites();
  const std::string errors = ReadFile(home / "Log_Service/Errors.log");
  EXPECT_NE(errors.find("Log_Service/All msg/2024-03-07.log\""), std::string::npos) << errors;
  EXPECT_EQ(errors.find("lost line"), std::string::npos) << errors;
}

TEST_F(ServiceLoggerTest, FailedAllMsgWriteRaisesWhenErrorsCannotBeWrittenEither) {
  BlockFolder(home / "Log_Service");
  EXPECT_THROW(logger.LogAllMsg("nowhere"), std::runtime_error);
}

TEST_F(ServiceLoggerTest, AReportTheErrorsLogCannotTakeGoesToStandardErrorOncePerRun) {
  BlockFolder(home / "Log_Service");
  ::testing::internal::CaptureStderr();
  for (int turn = 0; turn < 3; ++turn) {
    EXPECT_THROW(logger.LogErr("FlushWrites", "disk gone"), std::runtime_error);
  }
  EXPECT_THROW(logger.LogErr("StationJournal", "disk gone"), std::runtime_error);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(told.find("ERR in FlushWrites, Error Msg: disk gone. (not in the \"Errors\" log: "), 0u)
      << told;
  EXPECT_EQ(told.find("ERR in FlushWrites", 1), std::string::npos) << told;
  EXPECT_NE(told.find("ERR in StationJournal, Error Msg: disk gone."), std::string::npos) << told;
}

}  // namespace
}  // namespace talvero
