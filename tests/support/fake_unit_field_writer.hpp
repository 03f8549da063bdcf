#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/unit_field.hpp"

namespace talvero::testing {

// Records every field written through to the unit database; can be told to fail.
class FakeUnitFieldWriter final : public UnitFieldWriter {
 public:
  struct Write {
    uint16_t unit;
    UnitField field;
    bool operator==(const Write&) const = default;
  };

  void WriteUnitField(uint16_t unit, UnitField field) override {
    if (failUnit && *failUnit == unit) {
      throw std::runtime_error("disk full");
    }
    writes.push_back({unit, field});
  }

  std::optional<uint16_t> failUnit;  // writes of this unit throw
  std::vector<Write> writes;
};

}  // namespace talvero::testing
