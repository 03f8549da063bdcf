#include "platform/chunk_assembler.hpp"

#include <gtest/gtest.h>

namespace talvero {
namespace {

using std::chrono::milliseconds;

// One step of a script: bytes arriving, or a look for a quiet chunk, at a
// moment in ms from the start.
struct Step {
  int atMs;
  std::string bytes;  // empty: a look for a quiet chunk
};

struct ScriptCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> chunks;  // every chunk the steps produce, in order
};

class ChunkScriptTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ChunkScriptTest, GivesTheExpectedChunks) {
  const auto start = ChunkAssembler::TimePoint{} + std::chrono::hours(1);
  ChunkAssembler assembler;
  std::vector<std::string> chunks;
  for (const auto& step : GetParam().steps) {
    const auto now = start + milliseconds(step.atMs);
    if (step.bytes.empty()) {
      if (auto chunk = assembler.TakeIfQuiet(now)) {
        chunks.push_back(*chunk);
      }
    } else {
      for (auto& chunk : assembler.Add(step.bytes, now)) {
        chunks.push_back(chunk);
      }
    }
  }
  EXPECT_EQ(chunks, GetParam().chunks);
}

const std::string kHeartbeat = std::string("1011") + std::string(11, ' ') + "@    " + '\x14';

// Quiet spans: 250 ms plus 1.1 ms per waiting byte.
INSTANTIATE_TEST_SUITE_P(
    Scripts, ChunkScriptTest,
    ::testing::Values(
        ScriptCase{
            "OtherBytesWaitForTheQuietSpan", {{0, "\x01\x02"}, {252, ""}, {253, ""}}, {"\x01\x02"}},
        ScriptCase{"ALineWithoutItsEndWaitsForTheQuietSpan",
                   {{0, "1011"}, {254, ""}, {255, ""}},
                   {"1011"}},
        ScriptCase{"ALineEndsAtItsDc4", {{0, kHeartbeat}}, {kHeartbeat}},
        ScriptCase{"AHeartbeatInTwoPiecesIsOneChunk",
                   {{0, kHeartbeat.substr(0, 8)}, {20, ""}, {20, kHeartbeat.substr(8)}},
                   {kHeartbeat}},
        ScriptCase{"BytesAfterTheDc4BeginTheNextChunk",
                   {{0,
                     "ab\x14"
                     "cd"},
                    {10, "\x14"}},
                   {"ab\x14", "cd\x14"}},
        ScriptCase{"ALoneAnswerAfterALineInTheSameRead", {{0, "ab\x14\x06"}}, {"ab\x14", "\x06"}},
        ScriptCase{
            "ADc4AmongOtherBytesEndsNothing", {{0, "\x01\x14"}, {1, ""}, {253, ""}}, {"\x01\x14"}},
        ScriptCase{"ALoneAckOrNakIsAChunkAtOnce",
                   {{0, "\x06"}, {1, ""}, {30, "\x15"}, {31, ""}},
                   {"\x06", "\x15"}},
        ScriptCase{
            "TwoAnswersTogetherAreOneChunk", {{0, "\x15\x15"}, {252, ""}, {253, ""}}, {"\x15\x15"}},
        ScriptCase{"AnAckBehindWaitingBytesJoinsThem",
                   {{0, "10"}, {2, "\x06"}, {300, ""}},
                   {std::string("10\x06")}},
        ScriptCase{"AnAckWithMoreBytesWaitsForQuiet",
                   {{0,
                     "\x06"
                     "1011"},
                    {255, ""},
                    {256, ""}},
                   {"\x06"
                    "1011"}},
        ScriptCase{"QuietCountsFromTheLastByte",
                   {{0, "\x01\x02"}, {200, "\x03\x04"}, {454, ""}, {455, ""}},
                   {"\x01\x02\x03\x04"}},
        ScriptCase{"TwoBurstsApartAreTwoChunks",
                   {{0, "\x01"}, {300, ""}, {500, "\x02"}, {800, ""}},
                   {"\x01", "\x02"}},
        ScriptCase{"ExactlyTheLimitIsAChunkAtOnce",
                   {{0, std::string(3072, 'a')}, {1, ""}},
                   {std::string(3072, 'a')}},
        ScriptCase{"LimitReachedAcrossPieces",
                   {{0, std::string(3071, 'a')}, {1, "b"}, {2, "c"}, {300, ""}},
                   {std::string(3071, 'a') + "b", "c"}},
        ScriptCase{"LargePieceSplitsAtTheLimit",
                   {{0, std::string(7000, 'z')}, {1191, ""}, {1192, ""}},
                   {std::string(3072, 'z'), std::string(3072, 'z'), std::string(856, 'z')}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChunkAssemblerTest, QuietDueFollowsTheLastInputAndTheWaitingBytes) {
  const auto start = ChunkAssembler::TimePoint{} + std::chrono::hours(1);
  ChunkAssembler assembler;
  EXPECT_FALSE(assembler.QuietDue());
  assembler.Add("a", start);
  EXPECT_EQ(assembler.QuietDue(), start + std::chrono::microseconds(251'100));
  assembler.Add("b", start + milliseconds(4));
  EXPECT_EQ(assembler.QuietDue(), start + std::chrono::microseconds(256'200));
  assembler.Add(std::string(3070, 'c'), start + milliseconds(5));
  EXPECT_FALSE(assembler.QuietDue());
  EXPECT_TRUE(assembler.Empty());
}

TEST(ChunkAssemblerTest, TakeAllGivesWhatWaitsAtOnce) {
  const auto start = ChunkAssembler::TimePoint{} + std::chrono::hours(1);
  ChunkAssembler assembler;
  assembler.Add("partial", start);
  EXPECT_EQ(assembler.TakeAll(), "partial");
  EXPECT_TRUE(assembler.Empty());
  EXPECT_FALSE(assembler.TakeIfQuiet(start + milliseconds(100)));
}

}  // namespace
}  // namespace talvero
