#include "station/journal_records.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvero {
namespace {

using Lines = std::vector<StationLine>;

const StationLine kA = "5077 181111E13001001";
const StationLine kB = "5077 182222E13001002";
const StationLine kC = "5077 183333E13001003";

TEST(JournalRecords, AnAddedRecordIsOneTextLineWhateverBytesTheLineHolds) {
  const StationLine hostile = std::string("5077 18\n\0D\r", 11) + "A00000000 00";
  const std::string record = AddedRecord(hostile);
  EXPECT_EQ(record.find('\n'), record.size() - 1);
  EXPECT_EQ(ReadJournalRecords(record).lines, Lines{hostile});
  EXPECT_EQ(AddedRecord("5"), "A300CA0D0 35\n");
}

TEST(JournalRecords, RemovalsTakeTheOldestLine) {
  struct Case {
    const char* name;
    std::string bytes;
    Lines lines;
  };
  const std::string d(kRemovedRecord);
  const Case cases[] = {
      {"empty", "", {}},
      {"added", AddedRecord(kA) + AddedRecord(kB), {kA, kB}},
      {"one removed", AddedRecord(kA) + AddedRecord(kB) + d, {kB}},
      {"all removed", AddedRecord(kA) + d + AddedRecord(kB) + d, {}},
      {"added after removal", AddedRecord(kA) + d + AddedRecord(kC), {kC}},
      {"duplicates kept", AddedRecord(kA) + AddedRecord(kA) + d, {kA}},
  };
  for (const Case& c : cases) {
    const JournalContent content = ReadJournalRecords(c.bytes);
    EXPECT_EQ(content.lines, c.lines) << c.name;
    EXPECT_EQ(content.damagedRecords, 0u) << c.name;
    EXPECT_EQ(content.tornBytes, 0u) << c.name;
  }
}

TEST(JournalRecords, DamageLosesOnlyTheDamagedRecord) {
  const std::string a = AddedRecord(kA);
  const std::string b = AddedRecord(kB);
  const std::string c = AddedRecord(kC);
  std::string flipped = b;
  flipped[12] = flipped[12] == '3' ? '4' : '3';  // a digit of the line, so the sum fails
  struct Case {
    const char* name;
    std::string bytes;
    Lines lines;
    size_t damaged;
    size_t torn;
  };
  const Case cases[] = {
      {"torn last record", a + b + c.substr(0, 10), {kA, kB}, 0, 10},
      {"torn removal", a + b + "D", {kA, kB}, 0, 1},
      {"a flipped digit", a + flipped + c, {kA, kC}, 1, 0},
      {"garbage between", a + "\x01\xff garbage\n" + c, {kA, kC}, 1, 0},
      {"empty record", a + "\n" + c, {kA, kC}, 1, 0},
      {"removal with nothing waiting", "D\n" + a, {kA}, 1, 0},
      {"odd hex digits", "A00000000 353\n" + a, {kA}, 1, 0},
      {"no blank", a.substr(0, 9) + "x" + a.substr(10), {}, 1, 0},
      {"removal with more", a + b + "DD\n", {kA, kB}, 1, 0},
      {"bytes without any line end", std::string("\x13\x37\x00\x42", 4), {}, 0, 4},
  };
  for (const Case& cs : cases) {
    const JournalContent content = ReadJournalRecords(cs.bytes);
    EXPECT_EQ(content.lines, cs.lines) << cs.name;
    EXPECT_EQ(content.damagedRecords, cs.damaged) << cs.name;
    EXPECT_EQ(content.tornBytes, cs.torn) << cs.name;
  }
}

}  // namespace
}  // namespace talvero
