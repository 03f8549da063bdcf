#pragma once

#include <cstdint>
#include <functional>

namespace talvero {

// The persistent fields of a unit record, each written through to the unit
// database the moment it changes in memory.
enum class UnitField {
  Active,  // in-use flag
  FirstMsgTime,
  TrProto,
  Address,  // IP and Port together
  Imei,
  LastMsgTime,
  FwRaw,
  Account,
  GsmLevel,
  CommTrFlags,
};

class UnitFieldWriter {
 public:
  virtual ~UnitFieldWriter() = default;
  // Writes the file bytes of one field of one unit from its in-memory record;
  // throws std::runtime_error when the write fails.
  virtual void WriteUnitField(uint16_t unit, UnitField field) = 0;
  // Runs the operation so that each record its field writes change is
  // written once, at its end; throws the first write failure.
  virtual void WriteFieldsTogether(const std::function<void()>& operation) { operation(); }
};

}  // namespace talvero
