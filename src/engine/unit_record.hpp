#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/date_time.hpp"
#include "engine/unit_field.hpp"
#include "engine/unit_table.hpp"

namespace talvero {

// One unit's record in the unit database: 40 bytes, little-endian, no header;
// the record of unit n starts at byte n * 40.
inline constexpr size_t kUnitRecordSize = 40;
inline constexpr size_t kVersion2RecordCount = kUnitCount;
inline constexpr size_t kVersion1RecordCount = 10'000;
inline constexpr uint64_t kVersion2FileSize = kVersion2RecordCount * kUnitRecordSize;
inline constexpr uint64_t kVersion1FileSize = kVersion1RecordCount * kUnitRecordSize;

using UnitRecordView = std::span<const uint8_t, kUnitRecordSize>;

namespace record_offset {
inline constexpr size_t kInUse = 0;
inline constexpr size_t kCommTrFlags = 2;
inline constexpr size_t kTrProto = 3;
inline constexpr size_t kImei = 5;
inline constexpr size_t kIP = 13;
inline constexpr size_t kPort = 17;
inline constexpr size_t kFirstMsgTime = 19;
inline constexpr size_t kLastMsgTime = 23;
inline constexpr size_t kFwRaw = 27;
inline constexpr size_t kAccount = 30;
inline constexpr size_t kGsmLevel = 34;
}  // namespace record_offset

// Any in-use byte other than 1 marks an empty slot.
bool RecordInUse(UnitRecordView record);

// Takes an in-use record into its slot; only the persistent fields are set.
// Every byte pattern gives a valid slot.
void LoadRecord(UnitRecordView record, TUnitStruct& unit);

// The file bytes of one persistent field, and where in the record they go.
struct FieldBytes {
  size_t offset = 0;
  size_t size = 0;
  std::array<uint8_t, 8> bytes{};
};

// Encodes a field from the slot; throws std::runtime_error for an IMEI that is
// not decimal digits.
FieldBytes UnitFieldBytes(const TUnitStruct& unit, UnitField field);

// Times are stored as the whole seconds between them and 2000-01-01 00:00:00,
// as a distance (so a time before 2000 reads back as a time after it); the low
// 32 bits are written and read back as a signed number.
uint32_t DbTimeSeconds(TDateTime moment);
TDateTime DbTimeToDateTime(int32_t seconds);

// The IMEI digits as the number stored; empty is 0 (unknown).
int64_t ImeiToNumber(std::string_view imei);
// Whether ImeiToNumber takes the IMEI: decimal digits only.
bool IsStorableImei(std::string_view imei);
// At least 15 digits, zero-padded, cut to 15 characters; empty for 0.
std::string ImeiText(int64_t number);

}  // namespace talvero
