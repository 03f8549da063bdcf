#include "unit_sim/send_report.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/frame_report.hpp"
#include "protocol/frame_builders.hpp"
#include "protocol/seal_frame.hpp"
#include "support/bytes.hpp"
#include "support/frame_time.hpp"
#include "support/recording_logger.hpp"

namespace talvero {
namespace {

using testing::Bytes;
using testing::kNow;
using testing::RecordingLogger;

const std::string kPing = Bytes({35, 0, 0, 1, 1, 0, 0, 0});

SystemFrame Decoded(const std::string& bytes) {
  RecordingLogger log;
  return DecodeSystemFrame(bytes, std::nullopt, log);
}

SendResult Answered(const std::string& bytes) {
  return SendResult{"sent", {Decoded(bytes)}, false, {}};
}

TEST(SendExitCode, OnlyTheAnswerTheFrameGetsCounts) {
  uint16_t counter = 1;
  RecordingLogger log;
  const std::string newTime = SealFrame(NewTime(kPing, kNow), 0, counter, "9873", log);
  struct Case {
    std::string name;
    UnitFrameKind kind;
    SendResult result;
    int code;
  } cases[] = {
      {"Ack to a Ping", UnitFrameKind::Ping, Answered(Ack(kPing, kNow)), 0},
      {"Nack to a Ping", UnitFrameKind::Ping, Answered(Nack(kPing, kNow)), 1},
      {"NewTime to SetTimeRequest", UnitFrameKind::SetTimeRequest, Answered(newTime), 0},
      {"Ack to SetTimeRequest", UnitFrameKind::SetTimeRequest, Answered(Ack(kPing, kNow)), 1},
      {"unreadable answer", UnitFrameKind::Ping, Answered("garbage"), 1},
      {"time-out", UnitFrameKind::Ping, SendResult{"sent", {}, true, {}}, 1},
      {"no answer to a unit's Ack", UnitFrameKind::Ack, SendResult{"sent", {}, true, {}}, 0},
      {"Nack to a unit's Ack", UnitFrameKind::Ack, Answered(Nack(kPing, kNow)), 1},
      {"raw bytes answered", UnitFrameKind::Raw, Answered(Ack(kPing, kNow)), 0},
      {"raw bytes refused", UnitFrameKind::Raw, Answered(Nack(kPing, kNow)), 1},
      {"no connection", UnitFrameKind::Ack, SendResult{"", {}, false, "refused"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SendExitCode(c.kind, c.result), c.code);
  }
}

TEST(SendReport, JsonCarriesTheDecodedAnswer) {
  UnitOptions options;
  options.kind = UnitFrameKind::Ping;
  const auto json = nlohmann::json::parse(SendResultJson(options, Answered(Nack(kPing, kNow))));
  EXPECT_EQ(json["kind"], "Ping");
  EXPECT_EQ(json["ok"], false);
  ASSERT_EQ(json["answers"].size(), 1u);
  EXPECT_EQ(json["answers"][0]["name"], "Nack");
  EXPECT_EQ(json["answers"][0]["nack"], true);
  EXPECT_EQ(json["answers"][0]["unit"], "0001");
  EXPECT_EQ(json["answers"][0]["time"], "2024-03-05 14:07:09");
}

TEST(FrameReport, ANackIsCalledOutAndTextStaysPrintable) {
  const std::string text = DescribeFrame(Decoded(Nack(kPing, kNow)));
  EXPECT_EQ(text.rfind("NACK: the receiver refused the frame (15 b.): 0x020000010100000018", 0), 0u)
      << text;
  EXPECT_NE(text.find("unit 0001, FrameID 1, time 2024-03-05 14:07:09"), std::string::npos);
  EXPECT_EQ(DescribeFrame(Decoded(Ack(kPing, kNow))).rfind("Ack (15 b.)", 0), 0u);
  EXPECT_EQ(PrintableText(std::string("AB\x01\\\x7F", 5)), "AB\\x01\\x5C\\x7F");
}

}  // namespace
}  // namespace talvero
