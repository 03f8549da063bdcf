#include "engine/unit_record.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "support/virtual_time.hpp"

namespace talvero {
namespace {

using testing::At;
using Record = std::array<uint8_t, kUnitRecordSize>;

void Put(Record& record, size_t offset, uint64_t value, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

TUnitStruct Loaded(const Record& record) {
  TUnitStruct unit;
  LoadRecord(record, unit);
  return unit;
}

TEST(RecordInUse, OnlyTheValueOneMarksASlotInUse) {
  for (const int flag : {0, 1, 2, 0xFF}) {
    Record record{};
    record[0] = static_cast<uint8_t>(flag);
    EXPECT_EQ(RecordInUse(record), flag == 1) << flag;
  }
}

TEST(LoadRecord, ReadsEveryFieldFromItsOffset) {
  Record record{};
  record[0] = 1;
  record[1] = 0xEE;  // never read
  record[2] = 5;
  record[3] = 2;
  record[4] = 0xEE;  // never read
  Put(record, 5, 351234567890123, 8);
  Put(record, 13, 0xC0A80114, 4);
  Put(record, 17, 65535, 2);
  Put(record, 19, 100, 4);
  Put(record, 23, 200, 4);
  record[27] = 1;
  record[28] = 2;
  record[29] = 10;
  record[30] = '1';
  record[31] = '2';
  record[32] = '3';
  record[33] = '4';
  record[34] = '7';
  const TUnitStruct unit = Loaded(record);
  EXPECT_EQ(unit.Active, 1);
  EXPECT_EQ(unit.CommTrFlags, 5);
  EXPECT_EQ(unit.TrProto, TransportKind::Udp);
  EXPECT_EQ(unit.Imei, "351234567890123");
  EXPECT_EQ(unit.IP, "192.168.1.20");
  EXPECT_EQ(unit.Port, 65535);
  EXPECT_EQ(unit.FirstMsgTime, At(2000, 1, 1, 0, 1, 40));
  EXPECT_EQ(unit.LastMsgTime, At(2000, 1, 1, 0, 3, 20));
  EXPECT_EQ(unit.FwRaw, std::string_view("\x01\x02\x0A", 3));
  EXPECT_EQ(unit.FwVer, "1.2.10");
  EXPECT_EQ(unit.Account, "1234");
  EXPECT_EQ(unit.GsmLevel, '7');
}

TEST(LoadRecord, TurnsOddBytesIntoSafeValues) {
  struct Case {
    const char* name;
    std::function<void(Record&)> set;
    std::function<void(const TUnitStruct&)> check;
  };
  const Case cases[] = {
      {"IMEI 0 is unknown", [](Record& r) { Put(r, 5, 0, 8); },
       [](const TUnitStruct& u) { EXPECT_TRUE(u.Imei.empty()); }},
      {"IMEI of 14 digits gets its leading zero back",
       [](Record& r) { Put(r, 5, 12345678901234, 8); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.Imei, "012345678901234"); }},
      {"IMEI of 19 digits is cut to 15", [](Record& r) { Put(r, 5, 9223372036854775807ULL, 8); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.Imei, "922337203685477"); }},
      {"negative IMEI stays within 15 characters", [](Record& r) { Put(r, 5, ~uint64_t{4}, 8); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.Imei, "-00000000000000"); }},
      {"firmware 00 00 00 is unknown", [](Record&) {},
       [](const TUnitStruct& u) {
         EXPECT_TRUE(u.FwRaw.empty());
         EXPECT_TRUE(u.FwVer.empty());
       }},
      {"firmware FF FF FF", [](Record& r) { r[27] = r[28] = r[29] = 0xFF; },
       [](const TUnitStruct& u) {
         EXPECT_EQ(u.FwVer, "255.255.255");
         EXPECT_EQ(u.FwRaw.size(), 3u);
       }},
      {"firmware 00 00 01 is known", [](Record& r) { r[29] = 1; },
       [](const TUnitStruct& u) { EXPECT_EQ(u.FwVer, "0.0.1"); }},
      {"GSM byte 0x00 is a blank", [](Record& r) { r[34] = 0; },
       [](const TUnitStruct& u) { EXPECT_EQ(u.GsmLevel, ' '); }},
      {"GSM byte 'A' is a blank", [](Record& r) { r[34] = 'A'; },
       [](const TUnitStruct& u) { EXPECT_EQ(u.GsmLevel, ' '); }},
      {"GSM byte '0'", [](Record& r) { r[34] = '0'; },
       [](const TUnitStruct& u) { EXPECT_EQ(u.GsmLevel, '0'); }},
      {"GSM byte '9'", [](Record& r) { r[34] = '9'; },
       [](const TUnitStruct& u) { EXPECT_EQ(u.GsmLevel, '9'); }},
      {"account trimmed of blanks and control characters",
       [](Record& r) {
         r[30] = ' ';
         r[31] = '1';
         r[32] = '2';
         r[33] = '\t';
       },
       [](const TUnitStruct& u) { EXPECT_EQ(u.Account, "12"); }},
      {"account of control characters only is empty",
       [](Record& r) { r[30] = 1, r[31] = 2, r[32] = 0x1F, r[33] = 0; },
       [](const TUnitStruct& u) { EXPECT_TRUE(u.Account.empty()); }},
      {"account keeps inner control characters and 8-bit characters",
       [](Record& r) { r[30] = 'A', r[31] = 0, r[32] = 0xC4, r[33] = 'B'; },
       [](const TUnitStruct& u) {
         EXPECT_EQ(u.Account, std::string_view("A\0\xC4"
                                               "B",
                                               4));
       }},
      {"time 0 is 2000-01-01", [](Record&) {},
       [](const TUnitStruct& u) { EXPECT_EQ(u.FirstMsgTime, kYear2000); }},
      {"time 2^31 - 1 is the latest", [](Record& r) { Put(r, 19, 0x7FFFFFFF, 4); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.FirstMsgTime, At(2068, 1, 19, 3, 14, 7)); }},
      {"time 2^31 or more lies before 2000", [](Record& r) { Put(r, 23, 0x80000000, 4); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.LastMsgTime, At(1931, 12, 13, 20, 45, 52)); }},
      {"time FFFFFFFF is one second before 2000", [](Record& r) { Put(r, 23, 0xFFFFFFFF, 4); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.LastMsgTime, At(1999, 12, 31, 23, 59, 59)); }},
      {"IP FF FF FF FF", [](Record& r) { Put(r, 13, 0xFFFFFFFF, 4); },
       [](const TUnitStruct& u) { EXPECT_EQ(u.IP, "255.255.255.255"); }},
      {"unknown transport code kept", [](Record& r) { r[3] = 9; },
       [](const TUnitStruct& u) { EXPECT_EQ(static_cast<int>(u.TrProto), 9); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Record record{};
    record[0] = 1;
    c.set(record);
    c.check(Loaded(record));
  }
}

TEST(DbTime, StoresTheWholeSecondsOfTheDistanceFrom2000) {
  EXPECT_EQ(DbTimeSeconds(kYear2000), 0u);
  EXPECT_EQ(DbTimeSeconds(At(2000, 1, 1, 0, 0, 10, 999)), 10u);      // fraction cut off
  EXPECT_EQ(DbTimeSeconds(At(1999, 12, 31, 23, 59, 50)), 10u);       // distance, not sign
  EXPECT_EQ(DbTimeSeconds(At(1999, 12, 31, 23, 59, 49, 500)), 10u);  // cut toward 2000
  EXPECT_EQ(DbTimeSeconds(At(2024, 5, 6, 7, 8, 9)), 768'294'489u);
  EXPECT_EQ(DbTimeSeconds(At(2200, 1, 1, 0, 0, 0)),
            static_cast<uint32_t>(6'311'433'600ULL));  // low 32 bits
  EXPECT_EQ(DbTimeSeconds(TDateTime{}), static_cast<uint32_t>(3'155'846'400ULL));
  EXPECT_EQ(DbTimeToDateTime(10), At(2000, 1, 1, 0, 0, 10));
  EXPECT_EQ(DbTimeToDateTime(-10), At(1999, 12, 31, 23, 59, 50));
}

TEST(Imei, ConvertsDigitsOnly) {
  EXPECT_EQ(ImeiToNumber(""), 0);
  EXPECT_EQ(ImeiToNumber("012345678901234"), 12345678901234);
  EXPECT_EQ(ImeiToNumber("999999999999999"), 999999999999999);
  for (const char* bad : {"35a", "-1", " 1", "1.5", "12345678901234567890"}) {
    EXPECT_THROW(ImeiToNumber(bad), std::runtime_error) << bad;
  }
  EXPECT_EQ(ImeiText(12345678901234), "012345678901234");
  EXPECT_EQ(ImeiText(0), "");
}

}  // namespace
}  // namespace talvero
