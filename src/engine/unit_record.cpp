#include "engine/unit_record.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include <fmt/format.h>

#include "engine/ip_number.hpp"

namespace talvero {
namespace {

uint64_t ReadLittleEndian(UnitRecordView record, size_t offset, size_t size) {
  uint64_t value = 0;
  for (size_t i = size; i-- > 0;) {
    value = (value << 8) | record[offset + i];
  }
  return value;
}

FieldBytes LittleEndianBytes(size_t offset, size_t size, uint64_t value) {
  FieldBytes field{offset, size, {}};
  for (size_t i = 0; i < size; ++i) {
    field.bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  }
  return field;
}

// The account's characters lose leading and trailing blanks and control
// characters, as the text was trimmed when it was first stored.
std::string_view TrimBlanks(std::string_view text) {
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

FieldBytes TextBytes(size_t offset, size_t size, std::string_view text) {
  FieldBytes field{offset, size, {}};
  for (size_t i = 0; i < size && i < text.size(); ++i) {
    field.bytes[i] = static_cast<uint8_t>(text[i]);
  }
  return field;
}

}  // namespace

bool RecordInUse(UnitRecordView record) {
  return record[record_offset::kInUse] == 1;
}

void LoadRecord(UnitRecordView record, TUnitStruct& unit) {
  using namespace record_offset;
  unit.Active = 1;
  unit.CommTrFlags = record[kCommTrFlags];
  unit.TrProto = static_cast<TransportKind>(record[kTrProto]);
  unit.Imei = ImeiText(static_cast<int64_t>(ReadLittleEndian(record, kImei, 8)));
  unit.IP = IPNumberToText(static_cast<uint32_t>(ReadLittleEndian(record, kIP, 4)));
  unit.Port = static_cast<int32_t>(ReadLittleEndian(record, kPort, 2));
  unit.FirstMsgTime =
      DbTimeToDateTime(static_cast<int32_t>(ReadLittleEndian(record, kFirstMsgTime, 4)));
  unit.LastMsgTime =
      DbTimeToDateTime(static_cast<int32_t>(ReadLittleEndian(record, kLastMsgTime, 4)));
  const uint8_t fw0 = record[kFwRaw];
  const uint8_t fw1 = record[kFwRaw + 1];
  const uint8_t fw2 = record[kFwRaw + 2];
  if (fw0 == 0 && fw1 == 0 && fw2 == 0) {
    unit.FwRaw.clear();
    unit.FwVer.clear();
  } else {
    const char raw[3] = {static_cast<char>(fw0), static_cast<char>(fw1), static_cast<char>(fw2)};
    unit.FwRaw = std::string_view(raw, 3);
    unit.FwVer = fmt::format("{}.{}.{}", fw0, fw1, fw2);
  }
  const std::string_view account(reinterpret_cast<const char*>(record.data() + kAccount), 4);
  unit.Account = TrimBlanks(account);
  const char gsm = static_cast<char>(record[kGsmLevel]);
  unit.GsmLevel = gsm >= '0' && gsm <= '9' ? gsm : ' ';
}

FieldBytes UnitFieldBytes(const TUnitStruct& unit, UnitField field) {
  using namespace record_offset;
  switch (field) {
    case UnitField::Active:
      return LittleEndianBytes(kInUse, 1, unit.Active);
    case UnitField::FirstMsgTime:
      return LittleEndianBytes(kFirstMsgTime, 4, DbTimeSeconds(unit.FirstMsgTime));
    case UnitField::TrProto:
      return LittleEndianBytes(kTrProto, 1, static_cast<uint8_t>(unit.TrProto));
    case UnitField::Address: {
      const uint64_t port = static_cast<uint16_t>(unit.Port);
      return LittleEndianBytes(kIP, 6, IPTextToNumber(unit.IP) | (port << 32));
    }
    case UnitField::Imei:
      return LittleEndianBytes(kImei, 8, static_cast<uint64_t>(ImeiToNumber(unit.Imei)));
    case UnitField::LastMsgTime:
      return LittleEndianBytes(kLastMsgTime, 4, DbTimeSeconds(unit.LastMsgTime));
    case UnitField::FwRaw:
      return TextBytes(kFwRaw, 3, unit.FwRaw);
    case UnitField::Account:
      return TextBytes(kAccount, 4, unit.Account);
    case UnitField::GsmLevel:
      return LittleEndianBytes(kGsmLevel, 1, static_cast<uint8_t>(unit.GsmLevel));
    case UnitField::CommTrFlags:
      return LittleEndianBytes(kCommTrFlags, 1, unit.CommTrFlags);
  }
  throw std::logic_error("unknown unit field");
}

uint32_t DbTimeSeconds(TDateTime moment) {
  const int64_t ms = moment.ms - kYear2000.ms;
  const uint64_t distance = ms < 0 ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
  return static_cast<uint32_t>(distance / 1000);
}

TDateTime DbTimeToDateTime(int32_t seconds) {
  return AddMilliseconds(kYear2000, static_cast<int64_t>(seconds) * 1000);
}

int64_t ImeiToNumber(std::string_view imei) {
  int64_t number = 0;
  for (const char c : imei) {
    if (c < '0' || c > '9' || number > (INT64_MAX - 9) / 10) {
      throw std::runtime_error(fmt::format("'{}' is not a valid IMEI", imei));
    }
    number = number * 10 + (c - '0');
  }
  return number;
}

bool IsStorableImei(std::string_view imei) {
  return imei.size() <= 18 &&
         std::all_of(imei.begin(), imei.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ImeiText(int64_t number) {
  if (number == 0) {
    return {};
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.15lld", static_cast<long long>(number));
  return std::string(text).substr(0, 15);
}

}  // namespace talvero
