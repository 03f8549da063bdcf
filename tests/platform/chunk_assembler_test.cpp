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

INSTANTIATE_TEST_SUITE_P(
    Scripts, ChunkScriptTest,
    ::testing::Values(
        ScriptCase{"NothingBeforeTenQuietMs", {{0, "x"}, {9, ""}}, {}},
        ScriptCase{"ChunkAfterTenQuietMs", {{0, "x"}, {10, ""}}, {"x"}},
        ScriptCase{"ALoneAckOrNakIsAChunkAtOnce",
                   {{0, "\x06"}, {1, ""}, {30, "\x15"}, {31, ""}},
                   {"\x06", "\x15"}},
        ScriptCase{"AnAckBehindWaitingBytesJoinsThem",
                   {{0, "10"}, {2, "\x06"}, {12, ""}},
                   {std::string("10\x06")}},
        ScriptCase{"AnAckWithMoreBytesWaitsForQuiet",
                   {{0,
                     "\x06"
                     "1011"},
                    {9, ""},
                    {10, ""}},
                   {"\x06"
                    "1011"}},
        ScriptCase{
            "QuietCountsFromTheLastByte", {{0, "10"}, {8, "11"}, {12, ""}, {18, ""}}, {"1011"}},
        ScriptCase{"TwoBurstsApartAreTwoChunks",
                   {{0, "ab"}, {10, ""}, {50, "cd"}, {60, ""}},
                   {"ab", "cd"}},
        ScriptCase{"ExactlyTheLimitIsAChunkAtOnce",
                   {{0, std::string(3072, 'a')}, {1, ""}},
                   {std::string(3072, 'a')}},
        ScriptCase{"LimitReachedAcrossPieces",
                   {{0, std::string(3071, 'a')}, {1, "b"}, {2, "c"}, {12, ""}},
                   {std::string(3071, 'a') + "b", "c"}},
        ScriptCase{"LargePieceSplitsAtTheLimit",
                   {{0, std::string(7000, 'z')}, {10, ""}},
                   {std::string(3072, 'z'), std::string(3072, 'z'), std::string(856, 'z')}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChunkAssemblerTest, QuietDueFollowsTheLastInput) {
  const auto start = ChunkAssembler::TimePoint{} + std::chrono::hours(1);
  ChunkAssembler assembler;
  EXPECT_FALSE(assembler.QuietDue());
  assembler.Add("a", start);
  EXPECT_EQ(assembler.QuietDue(), start + milliseconds(10));
  assembler.Add("b", start + milliseconds(4));
  EXPECT_EQ(assembler.QuietDue(), start + milliseconds(14));
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
