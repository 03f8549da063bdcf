#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame_engine.hpp"
#include "unit_frames.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::FrameEngine;
using testing::kEngineNowBytes;
using testing::MakeTcpRoute;
using testing::MakeUdpBinding;
using Kind = testing::RecordingLogger::Kind;
using Entry = testing::RecordingLogger::Entry;
using Lines = std::vector<std::string>;

class RealSendTest : public ::testing::Test {
 protected:
  FrameEngine e{HostKind::Service};
  std::shared_ptr<testing::FakeTransport> tcp = MakeTcpRoute("10.0.0.5", 4001);
};

TEST_F(RealSendTest, DataGoesOutAsOneFrameOnEitherTransport) {
  auto udp = MakeUdpBinding("10.0.0.9", 5000);
  e.processor.RealSend(Route(tcp), "abc");
  e.processor.RealSend(Route(udp), "de");
  EXPECT_EQ(tcp->sent, Lines{"abc"});
  EXPECT_EQ(udp->sent, Lines{"de"});
  EXPECT_TRUE(e.log.entries.empty());
}

TEST_F(RealSendTest, EmptyDataIsNeverSent) {
  const StoredRoute stored = tcp;
  e.processor.RealSend(Route(tcp), "");
  e.processor.RealSend(stored, "");
  e.processor.RealSend(Route(), "");
  EXPECT_TRUE(tcp->sent.empty());
  EXPECT_EQ(e.log.Texts(Kind::Imp), Lines(3, "!! TRYING TO SEND EMPTY DATA"));
}

TEST_F(RealSendTest, WithoutARouteTheDataIsLoggedInstead) {
  e.processor.RealSend(Route(), Bytes({1, 2, 0xAB}));
  e.processor.RealSend(StoredRoute(), Bytes({0x24}));
  EXPECT_EQ(e.log.Texts(Kind::Imp), (Lines{"UNKN TR.PROTO: CAN NOT SEND THIS DATA: 0102AB",
                                           "UNKN TR.PROTO: CAN NOT SEND THIS DATA: 24"}));
}

TEST_F(RealSendTest, ARouteWhoseConnectionHasGoneIsAFailureNotAMissingRoute) {
  StoredRoute stored = MakeTcpRoute("10.0.0.3", 4003);
  ASSERT_TRUE(stored.expired());
  e.processor.RealSend(stored, "abc");
  EXPECT_EQ(e.log.ErrNames(), Lines{"RealSend"});
  EXPECT_TRUE(e.log.Texts(Kind::Imp).empty());

  const StoredRoute live = tcp;
  e.processor.RealSend(live, "abc");
  EXPECT_EQ(tcp->sent, Lines{"abc"});
}

TEST_F(RealSendTest, AFailedWriteIsReportedUnderRealSend) {
  tcp->fail = true;
  e.processor.RealSend(Route(tcp), "abc");
  EXPECT_EQ(e.log.entries, (std::vector<Entry>{{Kind::Err, "RealSend|connection reset by peer"}}));
}

TEST_F(RealSendTest, APeerThatDoesNotReadIsToldInImpMsgNotInTheErrorsLog) {
  tcp->peerFault = true;
  e.processor.ProcessRecMsg(tcp, AddCrc8(Bytes({35, 0, 0, 5, 3, 0, 0, 0})));
  EXPECT_TRUE(e.log.ErrNames().empty());
  EXPECT_TRUE(e.log.Has(Kind::Imp, "!! CAN NOT SEND: send queue of 10.0.0.5 full"));
}

TEST_F(RealSendTest, AcknowledgementsEchoTheHeaderWithTheTimeNow) {
  const std::string frame = AddCrc8(Bytes({35, 1, 0x12, 0x34, 3, 0, 0, 0}));
  e.processor.SendACK(tcp, frame);
  e.processor.SendNACK(tcp, frame);
  e.processor.SendNACK(tcp, Bytes({35, 0, 0x12, 0x34}));
  EXPECT_EQ(tcp->sent, (Lines{AddCrc8(Bytes({1, 0, 0x12, 0x34, 3, 0, 0, 0}) + kEngineNowBytes),
                              AddCrc8(Bytes({2, 0, 0x12, 0x34, 3, 0, 0, 0}) + kEngineNowBytes),
                              AddCrc8(Bytes({2, 0, 0, 0, 0, 0, 0, 0}) + kEngineNowBytes)}));
  EXPECT_TRUE(e.log.entries.empty());  // the service host writes no line for them
}

TEST(RealSendDesktop, TheDesktopLogsEveryAcknowledgement) {
  FrameEngine e{HostKind::Desktop};
  auto tcp = MakeTcpRoute("10.0.0.5", 4001);
  e.processor.SendACK(tcp, std::string(9, '\0'));
  e.processor.SendNACK(tcp, "");
  e.processor.SendACK(Route(), std::string(9, '\0'));
  EXPECT_EQ(tcp->sent.size(), 2u);
  EXPECT_EQ(e.log.Texts(Kind::All), (Lines{"Send ACK", "Send NACK", "Send ACK"}));
}

}  // namespace
}  // namespace talvero
